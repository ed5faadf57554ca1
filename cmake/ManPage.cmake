# cmake -DSCDOC=scdoc -DIN=page.scd -DOUT=page.gz -P ManPage.cmake (SCDOC=cat: only compress)
# Turns one scdoc source into a compressed roff page (gzip -n: no timestamp,
# so the packages are reproducible).
execute_process(COMMAND ${SCDOC} INPUT_FILE ${IN} COMMAND gzip -9n OUTPUT_FILE ${OUT}
  RESULTS_VARIABLE results)
if(NOT results STREQUAL "0;0")
  file(REMOVE ${OUT})
  message(FATAL_ERROR "scdoc failed on ${IN}: ${results}")
endif()
