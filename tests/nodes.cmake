add_library(idThiefPlugin MODULE support/idThiefPlugin.cpp)
set_target_properties(idThiefPlugin PROPERTIES PREFIX "")
target_link_libraries(idThiefPlugin PRIVATE Maya::Standin)

ky_node_test(plugin_test)
target_compile_definitions(plugin_test PRIVATE ID_THIEF_PLUGIN="$<TARGET_FILE:idThiefPlugin>")
target_link_libraries(plugin_test PRIVATE dl)
add_dependencies(plugin_test idThiefPlugin)

ky_node_test(display_test)
