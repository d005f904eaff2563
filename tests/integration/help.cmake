# The help as built and as installed (record.chm and the HTML folder beside the program).
add_test(NAME help.installed_beside_program
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/help-install.sh ${CMAKE_BINARY_DIR}
                 ${PROJECT_SOURCE_DIR}/help)
# The pages against the program: every menu caption in the help, every link resolving.
add_test(NAME help.pages_match_the_menus
         COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/help-pages.py
                 ${PROJECT_SOURCE_DIR}/help ${PROJECT_SOURCE_DIR}/forms)
