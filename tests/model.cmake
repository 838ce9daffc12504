brk_add_test(tst_codes SOURCES tst_codes.cpp LIBS brk_model)
