# Writes the udev rule for the known USB serial adapters from the program's
# list of them. Run at build time:
#   cmake -DADAPTERS=serial/KnownAdapters.def -DOUTPUT=<rule file> -P UdevRule.cmake
file(STRINGS ${ADAPTERS} lines REGEX "^QV_KNOWN_ADAPTER\\(")
set(rules "")
foreach(line IN LISTS lines)
    if(NOT line MATCHES "^QV_KNOWN_ADAPTER\\(\"([0-9a-f]+)\", \"([0-9a-f]+)\", \"([^\"]*)\"\\)$")
        message(FATAL_ERROR "${ADAPTERS}: cannot read \"${line}\"")
    endif()
    set(match "ATTRS{idVendor}==\"${CMAKE_MATCH_1}\", ATTRS{idProduct}==\"${CMAKE_MATCH_2}\"")
    string(APPEND rules "# ${CMAKE_MATCH_3}\n")
    string(APPEND rules "SUBSYSTEMS==\"usb\", ${match}, ENV{ID_MM_DEVICE_IGNORE}=\"1\"\n")
    string(APPEND rules "SUBSYSTEM==\"tty\", ${match}, TAG+=\"uaccess\"\n")
endforeach()
if(rules STREQUAL "")
    message(FATAL_ERROR "${ADAPTERS} names no adapter")
endif()
file(WRITE ${OUTPUT}.tmp
"# Quarventa: the USB serial adapters a GCU is reached through. The user at the
# machine may open them (uaccess), and ModemManager does not probe them.
# Made by the build from the program's list of known adapters.
ACTION==\"remove\", GOTO=\"quarventa_serial_end\"

${rules}
LABEL=\"quarventa_serial_end\"
")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)
