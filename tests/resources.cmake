# Icons and help texts. The icon resources are compiled straight into the
# test, so it needs neither the application library nor a display.
brk_add_test(tst_resources
    SOURCES tst_resources.cpp ${CMAKE_CURRENT_SOURCE_DIR}/../resources/icons.qrc
    LIBS Qt5::Gui brk_model)
target_compile_definitions(tst_resources PRIVATE
    BRK_HELP_FILE="${CMAKE_CURRENT_SOURCE_DIR}/../resources/information.json")
