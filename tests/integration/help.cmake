# The help as built and as installed (record.chm and the HTML folder beside the program).
add_test(NAME help.installed_beside_program
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/help-install.sh ${CMAKE_BINARY_DIR}
                 ${PROJECT_SOURCE_DIR}/help)
