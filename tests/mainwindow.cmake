# The resources are compiled into the test programs that show icons and logos.
set(mainwindow_resources
    ${CMAKE_CURRENT_LIST_DIR}/../resources/icons.qrc
    ${CMAKE_CURRENT_LIST_DIR}/../resources/resources.qrc)

# From the start window's offline button to the file on disk and back, and
# online against the simulated unit: the whole application.
brk_add_test(tst_mainwindow
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_mainwindow.cpp ${mainwindow_resources}
    LIBS brk_app brk_testsupport)
