# Each layer's target puts on the include path only a folder that holds its own
# headers (as <layer>/...), so code sees the headers of the layers it links and
# an include of a layer above it fails to compile.
function(orlavo_layer_include_dir out layer)
  set(dir ${PROJECT_BINARY_DIR}/layers/${layer})
  if(NOT EXISTS ${dir}/${layer})
    file(MAKE_DIRECTORY ${dir})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${layer} ${dir}/${layer} SYMBOLIC)
  endif()
  set(${out} ${dir} PARENT_SCOPE)
endfunction()

function(orlavo_expose_layer target layer)
  orlavo_layer_include_dir(dir ${layer})
  target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${dir}>)
endfunction()
