# Warnings for the project's own targets (not for GoogleTest's sources).
function(kwo_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow)
endfunction()
