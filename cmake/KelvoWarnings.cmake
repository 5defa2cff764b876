# Project-wide compiler flags: warnings everywhere, optional -Werror and sanitizers.
add_compile_options(-Wall -Wextra)
if(KELVO_WERROR)
  add_compile_options(-Werror)
endif()
if(KELVO_SANITIZE AND KELVO_SANITIZE_THREAD)
  message(FATAL_ERROR "KELVO_SANITIZE and KELVO_SANITIZE_THREAD cannot be combined")
endif()
if(KELVO_SANITIZE_THREAD)
  # Qt itself is not instrumented: reports inside Qt's own locking are noise; ours are not.
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()
if(KELVO_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
if(KELVO_FUZZ)
  # Every object carries libFuzzer's coverage hooks; only the fuzz programs link its main.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
