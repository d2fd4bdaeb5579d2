# Every target of the project builds warning-free on g++, clang and MinGW.
function(vantrel_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()
