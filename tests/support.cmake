# Helpers shared by tests: a simulated unit run in-process and a virtual serial line.
add_library(brk_testsupport STATIC
    ${CMAKE_CURRENT_LIST_DIR}/support/modbuscall.cpp
    ${CMAKE_CURRENT_LIST_DIR}/support/modbuscall.h
    ${CMAKE_CURRENT_LIST_DIR}/support/ptypair.cpp
    ${CMAKE_CURRENT_LIST_DIR}/support/ptypair.h
    ${CMAKE_CURRENT_LIST_DIR}/support/unitsimfixture.cpp
    ${CMAKE_CURRENT_LIST_DIR}/support/unitsimfixture.h
)
target_include_directories(brk_testsupport PUBLIC ${CMAKE_CURRENT_LIST_DIR}/support)
target_link_libraries(brk_testsupport PUBLIC brk_unitsim Qt5::Core Qt5::Network Qt5::SerialBus)
