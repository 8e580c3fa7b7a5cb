# Builds one manual page: scdoc source -> roff (kept for `man -l`) -> gzip -9n
# (as Debian installs manual pages). Run with cmake -P and
#   -DSCDOC=<scdoc> -DGZIP=<gzip> -DSOURCE=<page.scd> -DROFF=<page.1>
execute_process(COMMAND ${SCDOC} INPUT_FILE ${SOURCE} OUTPUT_FILE ${ROFF}
                RESULT_VARIABLE scdocResult ERROR_VARIABLE scdocError)
if(NOT scdocResult EQUAL 0)
  file(REMOVE ${ROFF})
  message(FATAL_ERROR "scdoc ${SOURCE}: ${scdocError}")
endif()
execute_process(COMMAND ${GZIP} -9 -n -c ${ROFF} OUTPUT_FILE ${ROFF}.gz RESULT_VARIABLE gzipResult)
if(NOT gzipResult EQUAL 0)
  message(FATAL_ERROR "gzip ${ROFF} failed")
endif()
