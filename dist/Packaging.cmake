# The Debian package, made by `cpack -G DEB` in the build folder (see
# scripts/package.sh).  dpkg-shlibdeps finds the Qt 6 libraries the programs
# link; the platform and sound plugins come with libqt6gui6 and
# libqt6multimedia6.  The program draws its forms in Times New Roman, whose
# metrics Liberation Serif has.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vedomec)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Nivella)
set(CPACK_PACKAGE_CONTACT "Vedomec <vedomec@nivella.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "school tests with a grade at the end (Czech)")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Vedomec is a program for taking tests, with a Czech user interface.
A pupil opens a test from a catalogue grouped by kind, answers one question
per screen (a) to d), yes or no, or a typed answer), may race a time limit,
and gets the counts of right and wrong answers, a percentage and a grade on
the five-step school scale.  Teachers write tests in a text editor and make
them into dBASE tables with vedomec-mktest.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# qt6-translations-l10n: the print dialog and the standard buttons in Czech.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation, qt6-translations-l10n")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
