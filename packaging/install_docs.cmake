# Run at install time, before the files are copied: the manual pages and the
# changelog, gzip'd as Debian wants them (-9n: the best compression, with no
# name or time stamp inside, so the same pages give the same bytes).
# Expects MWC_SOURCE_DIR, MWC_OUTPUT_DIR and MWC_VERSION.
include("${CMAKE_CURRENT_LIST_DIR}/maintainer.cmake")
file(MAKE_DIRECTORY "${MWC_OUTPUT_DIR}")

function(mwc_gzip input output)
  execute_process(COMMAND gzip -9n -c "${input}" OUTPUT_FILE "${output}"
    COMMAND_ERROR_IS_FATAL ANY)
endfunction()

foreach(page mwc mwc-replay mwc-check mwc-conform)
  mwc_gzip("${MWC_SOURCE_DIR}/docs/${page}.1" "${MWC_OUTPUT_DIR}/${page}.1.gz")
endforeach()

# The changelog is signed by whoever builds the package.
set(signer "${MWC_MAINTAINER}")
if(NOT signer)
  set(signer "the mwc authors")
endif()
file(READ "${MWC_SOURCE_DIR}/packaging/changelog" changelog)
string(REPLACE "@VERSION@" "${MWC_VERSION}" changelog "${changelog}")
string(REPLACE "@MAINTAINER@" "${signer}" changelog "${changelog}")
file(WRITE "${MWC_OUTPUT_DIR}/changelog" "${changelog}")
mwc_gzip("${MWC_OUTPUT_DIR}/changelog" "${MWC_OUTPUT_DIR}/changelog.gz")
