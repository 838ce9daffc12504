# The module view and the slot dialog.
brk_add_test(tst_moduleview SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_moduleview.cpp LIBS brk_app)
# A folder of its own, so the help file the test puts beside the executable
# is seen by no other test.
set_target_properties(tst_moduleview PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/moduleview)
brk_add_test(tst_positionsubmoduledialog
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_positionsubmoduledialog.cpp
    LIBS brk_app)
