# The licence tool: its library functions, and the built program run as its users run it.
if(TARGET licensetool)
  lx_add_gtest(licensetool_test SOURCES licensetool_test.cpp LIBS lxlicensefile)
  target_compile_definitions(licensetool_test PRIVATE
    LICENSETOOL_PATH="$<TARGET_FILE:licensetool>")
  add_dependencies(licensetool_test licensetool)
endif()
