find_package(Python3 REQUIRED COMPONENTS Interpreter)

# Writes the English language file of an application from the user-visible
# literals in the sources and dialog templates of the given folders, again
# whenever one of them changes or a file is added.
function(tavrin_language_file target)
  cmake_parse_arguments(L "" "APP;OUTPUT" "FOLDERS" ${ARGN})
  set(_globs)
  foreach(_folder ${L_FOLDERS})
    foreach(_ext cpp cc h hpp inl rc)
      list(APPEND _globs ${_folder}/*.${_ext})
    endforeach()
  endforeach()
  file(GLOB_RECURSE _sources CONFIGURE_DEPENDS ${_globs})
  set(_tool ${CMAKE_SOURCE_DIR}/tools/make-language-file.py)
  add_custom_command(OUTPUT ${L_OUTPUT}
    COMMAND ${Python3_EXECUTABLE} ${_tool} --app ${L_APP} --lcid 1033 --lang English
            --output ${L_OUTPUT} ${L_FOLDERS}
    DEPENDS ${_tool} ${_sources}
    COMMENT "Writing the language file ${L_OUTPUT}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${L_OUTPUT})
endfunction()
