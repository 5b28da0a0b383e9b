# Writes a C++ source that defines a file's bytes as a constant array and its length.
# cmake -DINPUT=<file> -DOUTPUT=<file.cpp> -DSYMBOL=<name> -DHEADER=<header> -P embed_binary.cmake
foreach(var INPUT OUTPUT SYMBOL HEADER)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "embed_binary.cmake: ${var} is not set")
  endif()
endforeach()

file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
if(size EQUAL 0)
  message(FATAL_ERROR "embed_binary.cmake: ${INPUT} is empty")
endif()
# 16 bytes a line.
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n    " bytes "${bytes}")

get_filename_component(name "${INPUT}" NAME)
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${name} at build time: do not edit.\n"
  "#include \"${HEADER}\"\n\n"
  "const unsigned char ${SYMBOL}[${size}] = {\n    ${bytes}\n};\n"
  "const int ${SYMBOL}Size = ${size};\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
