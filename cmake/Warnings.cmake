# Our targets build with warnings on and treated as errors, so they stay at
# zero; third-party code (GoogleTest built from source) is left alone.
option(BEXO_WERROR "Treat warnings as errors" ON)

function(bexo_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion)
  if(BEXO_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
