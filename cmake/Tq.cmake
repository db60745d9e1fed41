# Build helpers shared by every directory: warnings, static Windows linking, widl, COM DLLs,
# GoogleTest executables that run natively or under Wine.

set(TQ_WARNINGS -Wall -Wextra)
if(TQ_WERROR)
    list(APPEND TQ_WARNINGS -Werror)
endif()
add_compile_options(${TQ_WARNINGS})

if(NOT WIN32)
    # The native build exists for the tests: every standard-container subscript is checked, so an
    # index one past the end fails a test instead of landing in spare capacity.
    add_compile_definitions(_GLIBCXX_ASSERTIONS)
endif()

if(TQ_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=address,undefined)
endif()

if(WIN32)
    # Nothing but system DLLs at run time: libgcc, libstdc++ and winpthread go in statically.
    add_link_options(-static -static-libgcc -static-libstdc++)
    add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        # Undecorated stdcall exports (DllGetClassObject, not DllGetClassObject@12).
        add_link_options(-Wl,--kill-at -Wl,--enable-stdcall-fixup)
    endif()
    set(TQ_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        set(TQ_WINE_ARCH 32)
    else()
        set(TQ_WINE_ARCH 64)
    endif()
    set(TQ_WINE_RUN ${CMAKE_SOURCE_DIR}/tools/wine-run.sh --prefix ${TQ_WINE_PREFIX}
                    --arch ${TQ_WINE_ARCH})
    set(CMAKE_CROSSCOMPILING_EMULATOR ${TQ_WINE_RUN})
    # 32-bit tests run on the private 32-bit Wine of tools/wine32-root.sh; without it the
    # target is built and linked only.
    set(TQ_CAN_RUN_WINDOWS_TESTS ON)
    if(TQ_WINE_ARCH EQUAL 32)
        execute_process(COMMAND ${CMAKE_SOURCE_DIR}/tools/wine32-root.sh --loader
                        RESULT_VARIABLE wine32_missing OUTPUT_QUIET ERROR_QUIET)
        if(wine32_missing AND NOT DEFINED ENV{TQ_WINE_LOADER})
            message(STATUS "No 32-bit Wine (tools/wine32-root.sh): win32 tests are not run")
            set(TQ_CAN_RUN_WINDOWS_TESTS OFF)
        endif()
    endif()
endif()

# GoogleTest from Debian's sources, built with the current toolchain (mingw included).
if(BUILD_TESTING AND NOT TARGET gtest)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    # Built from source with the current toolchain: Debian's googletest package ships it.
    find_path(TQ_GTEST_SOURCE_DIR googletest/CMakeLists.txt PATHS /usr/src/googletest
              NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED
              DOC "GoogleTest's source tree (Debian: package googletest)")
    add_subdirectory(${TQ_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/_googletest EXCLUDE_FROM_ALL SYSTEM)
    include(GoogleTest)
endif()

if(WIN32)
    # widl's imports (oaidl.idl, ocidl.idl...) come only with Wine's headers (libwine-dev), and
    # importlib("stdole2.tlb") with Wine's 64-bit PE libraries (wine64).
    find_path(TQ_WINE_IDL_DIR ocidl.idl PATHS /usr/include/wine/wine/windows
              NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED
              DOC "Wine's Windows headers and IDL files (Debian: package libwine-dev)")
    find_path(TQ_STDOLE_DIR stdole2.tlb PATHS /usr/lib/x86_64-linux-gnu/wine/x86_64-windows
              NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED
              DOC "A folder with stdole2.tlb (Debian: package wine64)")
endif()

# tq_widl(<out-var> <idl> [TLB] [INCLUDES dir...] [DEPENDS file...]): runs widl on <idl>; sets
# <out-var> to the generated header, the _i.c file (IIDs/CLSIDs) and, with TLB, the type library.
# Outputs go to the caller's binary directory.  INCLUDES are searched for imported .idl files and
# for importlib()'d .tlb files.
function(tq_widl out idl)
    cmake_parse_arguments(W "TLB" "" "INCLUDES;DEPENDS" ${ARGN})
    get_filename_component(name ${idl} NAME_WE)
    get_filename_component(idl_abs ${idl} ABSOLUTE)
    set(h ${CMAKE_CURRENT_BINARY_DIR}/${name}.h)
    set(ic ${CMAKE_CURRENT_BINARY_DIR}/${name}_i.c)
    set(outputs ${h} ${ic})
    # The type library's version(TQ_TYPELIB_VERSION) comes from the project's version.
    set(args ${TQ_WIDL_MACHINE} -I${TQ_WINE_IDL_DIR} -I${CMAKE_CURRENT_SOURCE_DIR}
             -L${TQ_STDOLE_DIR}
             -DTQ_TYPELIB_VERSION=${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR})
    foreach(dir ${W_INCLUDES})
        list(APPEND args -I${dir} -L${dir})
    endforeach()
    list(APPEND args -h -H ${h} -u -U ${ic})
    if(W_TLB)
        set(tlb ${CMAKE_CURRENT_BINARY_DIR}/${name}.tlb)
        list(APPEND outputs ${tlb})
        list(APPEND args -t -T ${tlb})
    endif()
    add_custom_command(OUTPUT ${outputs}
        COMMAND ${TQ_WIDL} ${args} ${idl_abs}
        DEPENDS ${idl_abs} ${W_DEPENDS}
        COMMENT "widl ${name}.idl" VERBATIM)
    set(${out} ${outputs} PARENT_SCOPE)
endfunction()

# tq_com_dll(<target> IDL <idl> DEF <def> OUTPUT_NAME <name> [SUFFIX .ocx] DESCRIPTION <text>
#            SOURCES ... [LIBS ...] [IDL_INCLUDES ...] [IDL_DEPENDS ...])
# An in-process COM server: widl's header/IIDs/type library, the type library embedded as
# resource 1, a version resource (with OLESelfRegister) and the exports of <def>.  Also makes
# <target>_ids, a static library with the IIDs/CLSIDs and the generated header, for clients and
# tests of the server.
function(tq_com_dll target)
    cmake_parse_arguments(D "" "IDL;DEF;OUTPUT_NAME;SUFFIX;DESCRIPTION"
                          "SOURCES;LIBS;IDL_INCLUDES;IDL_DEPENDS" ${ARGN})
    if(NOT D_SUFFIX)
        set(D_SUFFIX .dll)
    endif()
    tq_widl(gen ${D_IDL} TLB INCLUDES ${D_IDL_INCLUDES} DEPENDS ${D_IDL_DEPENDS})
    list(GET gen 1 ids_c)
    list(GET gen 2 tlb)
    set(TQ_RC_TLB ${tlb})
    set(TQ_RC_DESCRIPTION ${D_DESCRIPTION})
    set(TQ_RC_FILENAME ${D_OUTPUT_NAME}${D_SUFFIX})
    set(TQ_RC_INTERNAL ${D_OUTPUT_NAME})
    configure_file(${PROJECT_SOURCE_DIR}/cmake/module.rc.in ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc @ONLY)
    set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/${target}.rc PROPERTIES OBJECT_DEPENDS ${tlb})

    add_library(${target}_ids STATIC ${ids_c})
    target_include_directories(${target}_ids PUBLIC ${CMAKE_CURRENT_BINARY_DIR})

    add_library(${target} SHARED ${D_SOURCES} ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc ${D_DEF})
    set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${D_OUTPUT_NAME} SUFFIX ${D_SUFFIX})
    target_link_libraries(${target} PRIVATE ${target}_ids tq_com tq_com_server ${D_LIBS})
endfunction()

# tq_test(<name> SOURCES ... LIBS ... [WINE_FIXTURE]): a GoogleTest executable whose cases CTest
# discovers.  On Windows targets the cases run under Wine (after the registration fixture when
# WINE_FIXTURE is given).
function(tq_test name)
    cmake_parse_arguments(T "WINE_FIXTURE;SERIAL" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} gtest gtest_main)
    if(WIN32 AND NOT TQ_CAN_RUN_WINDOWS_TESTS)
        return()
    endif()
    if(WIN32)
        # Wine tests share one X display, one keyboard focus and one registry: running two at
        # once lets one test's window take the other's keystrokes.  They run one at a time.
        set(props LABELS wine RESOURCE_LOCK wine_session)
    else()
        set(props LABELS native)
    endif()
    if(WIN32 AND T_WINE_FIXTURE)
        list(APPEND props FIXTURES_REQUIRED tq_registered)
    endif()
    if(T_SERIAL)
        list(APPEND props RUN_SERIAL TRUE)
    endif()
    # A case passes on GoogleTest's own verdict, not on the exit code alone: under Wine a
    # process that dies (a stack overflow, say) can still exit 0.
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 180
        PROPERTIES ${props} TIMEOUT 120 PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] 1 test"
                   ${T_PROPERTIES})
endfunction()

# tq_wine_register(<target>...): a CTest fixture that registers the given COM servers in the
# build's Wine prefix before any test marked WINE_FIXTURE runs.
function(tq_wine_register)
    if(NOT WIN32 OR NOT TQ_CAN_RUN_WINDOWS_TESTS)
        return()
    endif()
    foreach(t ${ARGN})
        add_test(NAME register_${t}
                 COMMAND ${PROJECT_SOURCE_DIR}/tools/wine-regsvr.sh --prefix ${TQ_WINE_PREFIX}
                         --arch ${TQ_WINE_ARCH} $<TARGET_FILE:${t}>)
        set_tests_properties(register_${t} PROPERTIES FIXTURES_SETUP tq_registered LABELS wine
                             TIMEOUT 300)
    endforeach()
endfunction()

# tq_idl_uuid(<out-var> <idl> <kind> <name>): the uuid(...) of the `kind name` declaration
# (library, interface, dispinterface or coclass) of <idl>, in braces.
function(tq_idl_uuid out idl kind name)
    file(READ ${idl} text)
    string(REGEX MATCH
           "uuid\\(([0-9A-Fa-f-]+)\\)[^]]*\\][ \t\r\n]*${kind}[ \t\r\n]+${name}[^A-Za-z0-9_]"
           found "${text}")
    if(NOT found)
        message(FATAL_ERROR "${idl}: no uuid for ${kind} ${name}")
    endif()
    string(TOUPPER "${CMAKE_MATCH_1}" uuid)
    set(${out} "{${uuid}}" PARENT_SCOPE)
endfunction()

# tq_manifest(<target> <template> [OUTPUT <file>]): the side-by-side assembly manifest of a COM
# server, for registration-free use, written beside the server as <OUTPUT_NAME>.manifest (or to
# <file>).  The template sees TQ_MANIFEST_ARCH (x86 or amd64), TQ_MANIFEST_VERSION (a.b.c.0) and
# whatever uuids the caller set with tq_idl_uuid.  The target's TQ_MANIFEST property names it.
function(tq_manifest target template)
    cmake_parse_arguments(M "" "OUTPUT" "" ${ARGN})
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        set(TQ_MANIFEST_ARCH x86)
    else()
        set(TQ_MANIFEST_ARCH amd64)
    endif()
    set(TQ_MANIFEST_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0)
    if(NOT M_OUTPUT)
        get_target_property(name ${target} OUTPUT_NAME)
        get_target_property(dir ${target} BINARY_DIR)
        set(M_OUTPUT ${dir}/${name}.manifest)
    endif()
    configure_file(${template} ${M_OUTPUT} @ONLY)
    set_property(TARGET ${target} PROPERTY TQ_MANIFEST ${M_OUTPUT})
endfunction()
