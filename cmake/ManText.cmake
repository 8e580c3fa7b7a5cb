# Renders one manual page as plain UTF-8 text (for the Windows download,
# where there is no man): scdoc source -> roff -> groff, 80 columns, no
# hyphenation, no bold or underline. Run with cmake -P and
#   -DSCDOC=<scdoc> -DGROFF=<groff> -DSOURCE=<page.scd> -DTEXT=<page.txt>
execute_process(COMMAND ${SCDOC} INPUT_FILE ${SOURCE} OUTPUT_FILE ${TEXT}.roff
                RESULT_VARIABLE scdocResult ERROR_VARIABLE scdocError)
if(NOT scdocResult EQUAL 0)
  message(FATAL_ERROR "scdoc ${SOURCE}: ${scdocError}")
endif()
execute_process(COMMAND ${GROFF} -k -t -man -Tutf8 -rHY=0 -rLL=80n -P-c -P-b -P-o -P-u
                        ${TEXT}.roff
                OUTPUT_FILE ${TEXT} RESULT_VARIABLE groffResult ERROR_VARIABLE groffError)
file(REMOVE ${TEXT}.roff)
if(NOT groffResult EQUAL 0 OR groffError)
  file(REMOVE ${TEXT})
  message(FATAL_ERROR "groff ${SOURCE}: ${groffError}")
endif()
