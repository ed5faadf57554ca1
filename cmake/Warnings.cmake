# Warnings and sanitizers apply to every target of the project.
add_compile_options(-Wall -Wextra -Wpedantic)
if(ORLAVO_WERROR)
  add_compile_options(-Werror)
endif()
if(ORLAVO_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
