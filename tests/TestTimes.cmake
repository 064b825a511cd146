# SPDX-License-Identifier: MIT
# How long the slower tests take: seconds with `ctest -j2` in the gcc build (build/) on 2 cores shared with other
# builds. Every test's time limit is three times its time here, and at least 60 s (a first start of Chromium or
# of the fonts' cache alone can take tens of seconds on a loaded machine); the sanitizers' build, which runs
# several times slower, gets three times that. So a hang is reported within minutes instead of ten. A test not
# listed takes under 20 s.
set(OSTRAND_TEST_SECONDS
    e2e_box_edges=40
    e2e_documents_in_browser=20
    e2e_reorder_during_run=15
    e2e_report_boxes=30
    tst_AddFilesInFolder=37
    tst_ConvertRun=19
    tst_ConvertSlices=11
    tst_ConverterFaults=135
    tst_ConverterPipes=18
    tst_Utf8Check=15
    tst_WindowFaults=90)

# Sets the test's time limit from the table above.
function(ostrand_time_limit test)
    set(seconds 10)
    foreach(entry IN LISTS OSTRAND_TEST_SECONDS)
        if(entry MATCHES "^${test}=([0-9]+)$")
            set(seconds ${CMAKE_MATCH_1})
        endif()
    endforeach()
    math(EXPR limit "${seconds} * 3")
    if(limit LESS 60)
        set(limit 60)
    endif()
    if(OSTRAND_SANITIZE)
        math(EXPR limit "${limit} * 3")
    endif()
    set_tests_properties(${test} PROPERTIES TIMEOUT ${limit})
endfunction()
