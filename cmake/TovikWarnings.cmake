# Warnings are on everywhere; CI turns them into errors.
add_library(tovik_warnings INTERFACE)
target_compile_options(tovik_warnings INTERFACE -Wall -Wextra
  $<$<BOOL:${TOVIK_WERROR}>:-Werror>)
