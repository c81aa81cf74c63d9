# Puts a starter Mivo.ini and Mivo.csv that point at the sample album into the program folder,
# each only when the folder has none: settings a user already has are never replaced.
#   cmake -DMIVO_SOURCE_DIR=<source> -DMIVO_BINARY_DIR=<program folder> -P starter.cmake
# The files are code page 932 with CR LF; configure_file keeps their bytes and is told the line ends.
foreach(name Mivo.ini Mivo.csv)
  if(NOT EXISTS "${MIVO_BINARY_DIR}/${name}")
    configure_file("${MIVO_SOURCE_DIR}/examples/starter/${name}.in"
                   "${MIVO_BINARY_DIR}/${name}" @ONLY NEWLINE_STYLE CRLF)
    message(STATUS "Starter ${name} written to ${MIVO_BINARY_DIR}")
  endif()
endforeach()
# The pages' folders are left to 作成, which makes them.
