# Project-wide compiler flags: warnings everywhere, optional -Werror and sanitizers.
add_compile_options(-Wall -Wextra)
if(KELVO_WERROR)
  add_compile_options(-Werror)
endif()
if(KELVO_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
