# mwc_python_with(<variable> <module>): sets <variable> to the first Python
# that can import <module>: the one CMake finds first, else Debian's own
# /usr/bin/python3 (a Python of one's own often lacks Debian's modules).
# Leaves <variable> empty when neither can.
function(mwc_python_with variable module)
  find_package(Python3 COMPONENTS Interpreter)
  foreach(python ${Python3_EXECUTABLE} /usr/bin/python3)
    execute_process(COMMAND ${python} -c "import ${module}" RESULT_VARIABLE missing
      OUTPUT_QUIET ERROR_QUIET)
    if(missing EQUAL 0)
      set(${variable} ${python} PARENT_SCOPE)
      return()
    endif()
  endforeach()
  set(${variable} "" PARENT_SCOPE)
endfunction()
