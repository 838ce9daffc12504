# The main window built from its own sources on top of the module view's test
# library, for tests that need nothing else of the application.
set(mainwindow_dir ${CMAKE_CURRENT_LIST_DIR}/../app)
set(mainwindow_resources
    ${CMAKE_CURRENT_LIST_DIR}/../resources/icons.qrc
    ${CMAKE_CURRENT_LIST_DIR}/../resources/resources.qrc)
add_library(brk_mainwindow_testee STATIC
    ${mainwindow_dir}/mainwindow.cpp ${mainwindow_dir}/mainwindow.h ${mainwindow_dir}/mainwindow.ui)
target_include_directories(brk_mainwindow_testee PUBLIC ${mainwindow_dir})
target_link_libraries(brk_mainwindow_testee PUBLIC
    brk_moduleview_testee brk_modbus brk_model Qt5::Widgets Qt5::SerialBus)

# From the start window's offline button to the file on disk and back, and
# online against the simulated unit: the whole application.
brk_add_test(tst_mainwindow
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_mainwindow.cpp ${mainwindow_resources}
    LIBS brk_app brk_testsupport)
