# Writes OUTPUT, a C++ source defining the bytes of INPUT as the array
# NAME and its length NAME + "Size":
#   cmake -DINPUT=logo.jpg -DOUTPUT=logo_data.cpp -DNAME=kLogoJpeg -P embed_file.cmake
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
# Twenty bytes a line keeps the generated file readable.
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){20})" "\\1\n    " bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
"// Generated from ${INPUT}; do not edit.
#include <cstddef>

extern const unsigned char ${NAME}[];
extern const std::size_t ${NAME}Size;

const unsigned char ${NAME}[] = {
    ${bytes}
};
const std::size_t ${NAME}Size = ${size};
")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
