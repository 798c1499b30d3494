# Skin archives are 7z archives (LZMA2, solid) of a folder, made at build time
# the way the installer's "ZIPRES" resource is made: 7zz runs inside the
# folder, so entry names are relative and use "/".
#
#   tv_add_skin_archive(OUTPUT FILE.7z FOLDER DIR [DEPENDS files...] [EXTRA_ARGS switches...])
#
# Files added to FOLDER later are only picked up when one of DEPENDS changes.
find_program(TV_7Z_PROGRAM NAMES 7zz 7z REQUIRED)

function(tv_add_skin_archive)
  cmake_parse_arguments(A "" "OUTPUT;FOLDER" "DEPENDS;EXTRA_ARGS" ${ARGN})
  if(NOT A_OUTPUT OR NOT A_FOLDER)
    message(FATAL_ERROR "tv_add_skin_archive: OUTPUT and FOLDER are required")
  endif()
  # 7z "a" would add to an existing archive: start from nothing.
  add_custom_command(OUTPUT ${A_OUTPUT}
    COMMAND ${CMAKE_COMMAND} -E rm -f ${A_OUTPUT}
    COMMAND ${TV_7Z_PROGRAM} a -t7z -m0=lzma2 -ms=on -bd -bso0 -bsp0 ${A_EXTRA_ARGS} ${A_OUTPUT} .
    WORKING_DIRECTORY ${A_FOLDER}
    DEPENDS ${A_DEPENDS}
    COMMENT "Skin archive ${A_OUTPUT}"
    VERBATIM)
endfunction()
