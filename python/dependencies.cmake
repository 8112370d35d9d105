# Looks for what the Python module needs: the interpreter with its headers,
# NumPy and pybind11. Sets HXRATE_PYTHON_DEPS_FOUND. The module is built for
# Debian's /usr/bin/python3 unless -DPython3_EXECUTABLE names another
# interpreter (a pyenv or conda python3 earlier on PATH is not taken).
if(NOT DEFINED Python3_EXECUTABLE AND EXISTS /usr/bin/python3)
    set(Python3_EXECUTABLE /usr/bin/python3 CACHE FILEPATH "Interpreter the Python module is built for")
endif()
find_package(Python3 QUIET COMPONENTS Interpreter Development.Module NumPy)
set(HXRATE_PYTHON_DEPS_FOUND OFF)
if(Python3_FOUND)
    find_package(pybind11 CONFIG QUIET)
    if(pybind11_FOUND)
        set(HXRATE_PYTHON_DEPS_FOUND ON)
    endif()
endif()
if(NOT HXRATE_PYTHON_DEPS_FOUND AND NOT DEFINED HXRATE_PYTHON)
    message(STATUS "Python module not built: needs ${Python3_EXECUTABLE} with its headers "
        "(python3-dev), NumPy (python3-numpy) and pybind11 (pybind11-dev)")
endif()
