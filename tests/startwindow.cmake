# The start window: widgets and inputs, replies that must not be trusted, and
# end-to-end runs against the simulated unit over TCP and a pty pair.
#
# The tests build the start window from its own sources, so they do not depend
# on the rest of the application library.
set(startwindow_dir ${CMAKE_CURRENT_LIST_DIR}/../app)
add_library(brk_startwindow_testee STATIC
    ${startwindow_dir}/dialog.cpp ${startwindow_dir}/dialog.h ${startwindow_dir}/dialog.ui
    ${startwindow_dir}/discoveryscanner.cpp ${startwindow_dir}/discoveryscanner.h
    ${startwindow_dir}/documentlocator.cpp ${startwindow_dir}/documentlocator.h
    ${startwindow_dir}/modeflags.h
    ${startwindow_dir}/startwindow.cpp ${startwindow_dir}/startwindow.h ${startwindow_dir}/startwindow.ui
    ${startwindow_dir}/tablewidget.cpp ${startwindow_dir}/tablewidget.h
    ${CMAKE_CURRENT_LIST_DIR}/../resources/resources.qrc)
target_include_directories(brk_startwindow_testee PUBLIC ${startwindow_dir})
target_link_libraries(brk_startwindow_testee PUBLIC
    Qt5::Widgets Qt5::Network Qt5::SerialPort Qt5::SerialBus brk_modbus brk_model)

brk_add_test(tst_startwindow SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_startwindow.cpp
    LIBS brk_startwindow_testee)
brk_add_test(tst_dialog SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_dialog.cpp
    LIBS brk_startwindow_testee)
brk_add_test(tst_startwindow_replies SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_startwindow_replies.cpp
    LIBS brk_startwindow_testee)
# The simulated unit comes with the shared test helpers (support.cmake, read
# after this fragment).
if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/support.cmake)
    brk_add_test(tst_startwindow_e2e SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_startwindow_e2e.cpp
        LIBS brk_startwindow_testee brk_testsupport)
endif()
