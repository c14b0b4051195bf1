# cmake -DIN=assembled.hex -DOUT=file.hex -DCHIP=PIC18F4520 [-DCRLF=ON] -P append_chip_name.cmake
# The unit's firmware files carry the chip's name after the end-of-file
# record, on its own line after a blank one.
file(COPY_FILE ${IN} ${OUT})
if(CRLF)
  string(ASCII 13 cr)
  file(APPEND ${OUT} "${cr}\n${CHIP}${cr}\n")
else()
  file(APPEND ${OUT} "\n${CHIP}\n")
endif()
