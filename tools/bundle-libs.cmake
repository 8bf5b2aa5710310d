# cmake -DEXECUTABLE=bin/marrowvale -DDESTINATION=lib -P tools/bundle-libs.cmake
#
# Copies into DESTINATION every shared library EXECUTABLE needs that a player's
# machine cannot be counted on to have. What every desktop Linux has, and what
# must come from the player's own system to work with its hardware and
# services, stays out: glibc and the dynamic loader, the GL dispatch libraries
# and their drivers, X11 and xcb, udev, and the sound servers' client libraries.
cmake_minimum_required(VERSION 3.16)
if(NOT EXECUTABLE OR NOT DESTINATION)
  message(FATAL_ERROR "usage: cmake -DEXECUTABLE=... -DDESTINATION=... -P bundle-libs.cmake")
endif()

set(base_system
  "^ld-linux" "^libc\\.so" "^libm\\.so" "^libdl\\.so" "^libpthread\\.so" "^librt\\.so"
  "^libresolv\\.so" "^libutil\\.so"
  "^libGL\\.so" "^libGLX" "^libGLdispatch" "^libEGL" "^libOpenGL" "^libdrm" "^libgbm"
  "^libX" "^libxcb" "^libxshmfence"
  "^libudev\\.so"
  "^libasound\\.so" "^libpulse" "^libjack" "^libsndio")

file(GET_RUNTIME_DEPENDENCIES
  EXECUTABLES ${EXECUTABLE}
  RESOLVED_DEPENDENCIES_VAR resolved
  UNRESOLVED_DEPENDENCIES_VAR unresolved
  PRE_EXCLUDE_REGEXES ${base_system})
if(unresolved)
  message(FATAL_ERROR "libraries the engine needs that this machine does not have: ${unresolved}")
endif()

set(kept "")
foreach(library IN LISTS resolved)
  get_filename_component(name ${library} NAME)
  set(excluded FALSE)
  foreach(pattern IN LISTS base_system)
    if(name MATCHES "${pattern}")
      set(excluded TRUE)
    endif()
  endforeach()
  if(NOT excluded)
    list(APPEND kept ${library})
  endif()
endforeach()
# The loader looks for each library by its soname: copy the file under that
# name, without the chain of development symlinks.
file(MAKE_DIRECTORY ${DESTINATION})
foreach(library IN LISTS kept)
  get_filename_component(name ${library} NAME)
  get_filename_component(real ${library} REALPATH)
  file(COPY_FILE ${real} ${DESTINATION}/${name})
endforeach()
list(LENGTH kept count)
message(STATUS "bundled ${count} libraries into ${DESTINATION}")
