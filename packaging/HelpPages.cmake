# Writes what is made from "quillet --help", the one list of the program's options:
# the text help2man reads (with a stand-in program that prints it) and the bash
# completion. Run by the build:
#   cmake -DPROGRAM=.../quillet -DOUT=<folder> -DCOMPLETION_IN=<template> -P HelpPages.cmake
execute_process(COMMAND env -u DISPLAY -u WAYLAND_DISPLAY ${PROGRAM} --help
                OUTPUT_VARIABLE help RESULT_VARIABLE status)
execute_process(COMMAND env -u DISPLAY -u WAYLAND_DISPLAY ${PROGRAM} --version
                OUTPUT_VARIABLE version RESULT_VARIABLE version_status)
if(NOT status EQUAL 0 OR NOT version_status EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --help or --version failed: ${status} ${version_status}")
endif()

# help2man wants "Usage:" and "or:" to find the synopsis, and a paragraph of its own (the
# custom section "*Exit Status*") for the exit status, which the help tells inside the
# description.
string(REGEX REPLACE "^usage:" "Usage:" man "${help}")
string(REPLACE "\n       quillet " "\n   or: quillet " man "${man}")
string(REGEX REPLACE "  \\(quillet --help [^)]*\\)" "" man "${man}")
if(man MATCHES " ?Exit status: ([^.]*\\.)")
  string(REPLACE "${CMAKE_MATCH_0}" "" man "${man}")
  string(REPLACE "\n" " " exit_status "${CMAKE_MATCH_1}")
  string(REPLACE "\nOptions:" "\n*Exit Status*\n${exit_status}\n\nOptions:" man "${man}")
endif()
file(WRITE ${OUT}/help.txt "${man}")
file(WRITE ${OUT}/version.txt "${version}")
file(WRITE ${OUT}/help2man/quillet
     "#!/bin/sh\ncase \"$1\" in --version) cat '${OUT}/version.txt' ;; *) cat '${OUT}/help.txt' ;; esac\n")
file(CHMOD ${OUT}/help2man/quillet PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
     GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The completion: every option of the table ("  --name VALUE  what it does"); a VALUE of
# words with "|" completes those words, DIR folders, FILE files. "--check" takes the
# bracketed options of its usage line instead.
function(value_case names value out)
  if(value STREQUAL "DIR")
    set(${out} "    ${names}) _quillet_paths -d; return ;;\n" PARENT_SCOPE)
  elseif(value STREQUAL "FILE")
    set(${out} "    ${names}) _quillet_paths -f; return ;;\n" PARENT_SCOPE)
  elseif(value MATCHES "\\|")
    string(REPLACE "|" " " words "${value}")
    set(${out} "    ${names}) _quillet_words \"${words}\"; return ;;\n" PARENT_SCOPE)
  elseif(NOT value STREQUAL "" AND NOT value STREQUAL "...")
    set(${out} "    ${names}) return ;;\n" PARENT_SCOPE)
  else()
    set(${out} "" PARENT_SCOPE)
  endif()
endfunction()

# Appends to a list of options those of the rows a pattern finds in a text, and their
# value cases to QUILLET_VALUE_CASES.
function(take_options text row_pattern option_pattern options_var)
  string(REGEX MATCHALL "${row_pattern}" rows "${text}")
  set(options "${${options_var}}")
  foreach(row IN LISTS rows)
    string(REGEX MATCH "${option_pattern}" row "${row}")
    string(APPEND options " ${CMAKE_MATCH_1}")
    value_case("${CMAKE_MATCH_1}" "${CMAKE_MATCH_3}" case)
    string(APPEND QUILLET_VALUE_CASES "${case}")
  endforeach()
  set(${options_var} "${options}" PARENT_SCOPE)
  set(QUILLET_VALUE_CASES "${QUILLET_VALUE_CASES}" PARENT_SCOPE)
endfunction()

set(QUILLET_OPTIONS "")
set(QUILLET_VALUE_CASES "")
take_options("${help}" "\n  --[a-z0-9-]+( [^ \n]+)?" "(--[a-z0-9-]+)( ([^ \n]+))?" QUILLET_OPTIONS)
set(QUILLET_CHECK_OPTIONS "--check")
string(REGEX MATCH "quillet --check [^\n]*" check_usage "${help}")
take_options("${check_usage}" "\\[--[a-z0-9-]+( [^] ]+)?\\]" "(--[a-z0-9-]+)( ([^] ]+))?"
             QUILLET_CHECK_OPTIONS)
string(STRIP "${QUILLET_OPTIONS}" QUILLET_OPTIONS)
configure_file(${COMPLETION_IN} ${OUT}/completion/quillet @ONLY)
