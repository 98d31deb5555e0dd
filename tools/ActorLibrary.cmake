# vedomec_add_actor_library(<target> DESCRIPTION <file> [ASSETS <folder>]
#                           [OUTPUT_DIRECTORY <folder>] [DEPENDS <files or targets...>])
#
# Builds an actor library <target>.so from a description (tools/ActorSource.h):
# vedomec-mkactor writes its C source, which is compiled into a shared object
# that exports only GetActorInfo and the rcdata_N resources.
function(vedomec_add_actor_library target)
  cmake_parse_arguments(A "" "DESCRIPTION;ASSETS;OUTPUT_DIRECTORY" "DEPENDS" ${ARGN})
  if(NOT A_ASSETS)
    get_filename_component(A_ASSETS ${A_DESCRIPTION} DIRECTORY)
  endif()
  set(source ${CMAKE_CURRENT_BINARY_DIR}/${target}-actor.c)
  add_custom_command(
    OUTPUT ${source}
    COMMAND vedomec-mkactor ${A_DESCRIPTION} ${source} --assets ${A_ASSETS}
    DEPENDS vedomec-mkactor ${A_DESCRIPTION} ${A_DEPENDS}
    COMMENT "Building the actor library ${target} from ${A_DESCRIPTION}"
    VERBATIM)
  add_library(${target} MODULE ${source})
  # Plain C: no Qt code generation, linked as C.
  set_target_properties(${target} PROPERTIES PREFIX "" SUFFIX ".so" C_VISIBILITY_PRESET hidden
    AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
  # The library calls nothing, yet a shared object that names no library it
  # needs looks unfinished to Debian's checker: it names the C library.
  target_link_options(${target} PRIVATE LINKER:--push-state,--no-as-needed,-lc,--pop-state)
  if(A_OUTPUT_DIRECTORY)
    set_target_properties(${target} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${A_OUTPUT_DIRECTORY})
  endif()
endfunction()
