# Boost's regular expressions, header-only and standalone: only their own headers are copied
# to a folder of the build, so nothing else of Boost (nor of /usr/include) is on the path.
set(BOOST_REGEX_INCLUDE_ROOT /usr/include CACHE PATH "The folder holding boost/regex.hpp")
if(NOT EXISTS ${BOOST_REGEX_INCLUDE_ROOT}/boost/regex/v5/regex.hpp)
    message(FATAL_ERROR "Boost.Regex 1.76 or later not found in ${BOOST_REGEX_INCLUDE_ROOT} "
                        "(Debian: apt-get install libboost-regex1.81-dev)")
endif()
set(BOOST_REGEX_HEADERS ${CMAKE_BINARY_DIR}/boost-regex)
file(COPY ${BOOST_REGEX_INCLUDE_ROOT}/boost/regex ${BOOST_REGEX_INCLUDE_ROOT}/boost/regex.hpp
          ${BOOST_REGEX_INCLUDE_ROOT}/boost/regex_fwd.hpp
     DESTINATION ${BOOST_REGEX_HEADERS}/boost)
add_library(boost_regex_headers INTERFACE)
target_include_directories(boost_regex_headers SYSTEM INTERFACE ${BOOST_REGEX_HEADERS})
# A match gives up (and throws) instead of running away on a pattern such as (a*)*b; its
# step limit grows with the square of the line's length, up to this cap.
target_compile_definitions(boost_regex_headers INTERFACE BOOST_REGEX_STANDALONE
                                                         BOOST_REGEX_MAX_STATE_COUNT=1000000)
