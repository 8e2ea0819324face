# Makes the changed copy of one source of the controller, as the build runs:
#   cmake -DSOURCE=... -DCHANGE=... -DCOPY=... -DFOUND=... -P change_source.cmake
# CHANGE is a file that sets FROM and TO. When FROM is no longer in SOURCE
# (the controller was changed by hand), the copy is SOURCE as it stands and
# FOUND holds 0, so that the tests that use the copy skip; the build goes on.
include(${CHANGE})
file(READ ${SOURCE} text)
string(REPLACE "${FROM}" "${TO}" changed "${text}")
if(changed STREQUAL text)
  set(found 0)
  message(STATUS "'${FROM}' is no longer in ${SOURCE}: its copy is left as it is")
else()
  set(found 1)
endif()
# Written through a scratch file, so that an unchanged copy is not compiled again.
file(WRITE ${COPY}.new "${changed}")
file(COPY_FILE ${COPY}.new ${COPY} ONLY_IF_DIFFERENT)
file(REMOVE ${COPY}.new)
file(WRITE ${FOUND} "${found}\n")
