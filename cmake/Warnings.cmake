# Our targets build with warnings on; the presets (and so CI) treat them as
# errors, so they stay at zero there, while a plain configure with a newer
# compiler still builds. Third-party code (GoogleTest from source) is left alone.
option(BEXO_WERROR "Treat warnings as errors" OFF)

function(bexo_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion)
  if(BEXO_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
