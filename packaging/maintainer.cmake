# Who maintains this build of the package, taken as Debian's own tools take
# it: the name from DEBFULLNAME and the address from DEBEMAIL, which may also
# carry both as "Name <address>". Sets MWC_MAINTAINER, empty when either is
# missing: no address is ever made up.
set(MWC_MAINTAINER "")
if(NOT "$ENV{DEBFULLNAME}" STREQUAL "" AND NOT "$ENV{DEBEMAIL}" STREQUAL "")
  set(MWC_MAINTAINER "$ENV{DEBFULLNAME} <$ENV{DEBEMAIL}>")
elseif("$ENV{DEBEMAIL}" MATCHES "^[^<>]+ <[^<>]+@[^<>]+>$")
  set(MWC_MAINTAINER "$ENV{DEBEMAIL}")
endif()
