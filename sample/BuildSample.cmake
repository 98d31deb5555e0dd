# Lays out the sample application folder in OUT_DIR (the program's folder).
#
#   cmake -DMKTEST=... -DTABLE=... -DMKSOUNDS=... -DSOURCE_DIR=... -DOUT_DIR=...
#         -DCATALOGUE=a,b,c -DIMPORT=d,e -P BuildSample.cmake
#
# The tools never replace a file, so the whole folder is first made afresh in
# a private work folder and then moved in.  Files of an earlier run (listed in
# the manifest) are replaced; any other file in the way is someone else's and
# stops the build instead of being overwritten.
cmake_minimum_required(VERSION 3.25)

foreach(v MKTEST TABLE MKSOUNDS SOURCE_DIR OUT_DIR CATALOGUE IMPORT)
  if(NOT DEFINED ${v})
    message(FATAL_ERROR "BuildSample.cmake: ${v} is not set")
  endif()
endforeach()
string(REPLACE "," ";" CATALOGUE "${CATALOGUE}")
string(REPLACE "," ";" IMPORT "${IMPORT}")

set(manifest "${OUT_DIR}/.vedomec-sample.manifest")
set(work "${OUT_DIR}/.vedomec-sample.work")

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    file(REMOVE_RECURSE "${work}")
    message(FATAL_ERROR "Sample folder: `${ARGN}` failed (${rc}):\n${err}")
  endif()
endfunction()

file(REMOVE_RECURSE "${work}")
file(MAKE_DIRECTORY "${work}/Data" "${work}/Testy/Import" "${work}/Zvuky")

run("${MKSOUNDS}" "${work}/Zvuky")
run("${TABLE}" catalogue "${work}/Data")
foreach(name IN LISTS CATALOGUE)
  run("${MKTEST}" "${SOURCE_DIR}/${name}.txt" "${work}/Testy/${name}.dbf")
  run("${TABLE}" add-test "${work}/Data" "${work}/Testy/${name}.dbf")
endforeach()
foreach(name IN LISTS IMPORT)
  run("${MKTEST}" "${SOURCE_DIR}/${name}.txt" "${work}/Testy/Import/${name}.dbf")
endforeach()
foreach(table Data/Testy.DBF Data/TestD.DBF)
  run("${TABLE}" check "${work}/${table}")
endforeach()

file(GLOB_RECURSE made RELATIVE "${work}" "${work}/*")
list(SORT made)

set(previous "")
if(EXISTS "${manifest}")
  file(STRINGS "${manifest}" previous)
endif()

# Nothing is touched until it is clear that no foreign file is in the way.
foreach(f IN LISTS made)
  if(EXISTS "${OUT_DIR}/${f}" AND NOT f IN_LIST previous)
    file(REMOVE_RECURSE "${work}")
    message(FATAL_ERROR "Sample folder: ${OUT_DIR}/${f} was not made by the build; move it away and build again")
  endif()
endforeach()

foreach(f IN LISTS previous)
  if(NOT f MATCHES "^(Data|Testy|Zvuky)/" OR f MATCHES "(^|/)\\.\\.(/|$)")
    continue() # a manifest never names anything else
  endif()
  if(EXISTS "${OUT_DIR}/${f}" AND NOT IS_DIRECTORY "${OUT_DIR}/${f}")
    file(REMOVE "${OUT_DIR}/${f}")
  endif()
endforeach()

foreach(f IN LISTS made)
  get_filename_component(dir "${OUT_DIR}/${f}" DIRECTORY)
  file(MAKE_DIRECTORY "${dir}")
  file(RENAME "${work}/${f}" "${OUT_DIR}/${f}" RESULT rc NO_REPLACE)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "Sample folder: cannot move ${f} into ${OUT_DIR}: ${rc}")
  endif()
endforeach()
file(MAKE_DIRECTORY "${OUT_DIR}/Testy/Import")
file(REMOVE_RECURSE "${work}")

list(JOIN made "\n" text)
file(WRITE "${manifest}.new" "${text}\n")
file(RENAME "${manifest}.new" "${manifest}")
