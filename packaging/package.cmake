# Read by cpack as it packages: the Maintainer comes from the packager's
# environment at that moment, as with Debian's own tools.
include("${CMAKE_CURRENT_LIST_DIR}/maintainer.cmake")
if(CPACK_GENERATOR STREQUAL "DEB")
  if(MWC_MAINTAINER)
    set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${MWC_MAINTAINER}")
  else()
    message(WARNING "mwc package: the Maintainer has no address, so lintian will "
      "reject the package. Set your name and address as Debian's tools take them, "
      "export DEBFULLNAME='Your Name' DEBEMAIL=you@example.org, then build the "
      "package again.")
  endif()
endif()
