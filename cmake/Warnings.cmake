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

# Programs made of many small files that all include heavy headers (GoogleTest,
# CLI11) compile those headers' inline code once instead of once per file.
function(bexo_unity target)
  if(BEXO_UNITY_BUILD)
    set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 0)
  endif()
endfunction()
