# tessor_gbk_def(<out-var> <name> <template>): the module-definition file of a plugin,
# written in GBK, the code page of the plugins' export names. The template is UTF-8
# with @STDCALL_SUFFIX@ after each __stdcall function: "@4" on i686, where such names
# are decorated with their argument bytes, nothing on x86_64. The file is written to
# <current binary dir>/<name>.def.
find_program(TESSOR_ICONV iconv REQUIRED)

function(tessor_gbk_def out_var name template)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(STDCALL_SUFFIX "@4")
  else()
    set(STDCALL_SUFFIX "")
  endif()
  set(utf8 ${CMAKE_CURRENT_BINARY_DIR}/${name}.utf8.def)
  set(gbk ${CMAKE_CURRENT_BINARY_DIR}/${name}.def)
  configure_file(${template} ${utf8} @ONLY)
  add_custom_command(OUTPUT ${gbk}
    COMMAND ${TESSOR_ICONV} -f UTF-8 -t GBK -o ${gbk} ${utf8}
    DEPENDS ${utf8}
    COMMENT "Writing ${name}.def in GBK")
  set(${out_var} ${gbk} PARENT_SCOPE)
endfunction()
