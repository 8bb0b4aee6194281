# make        installs what is missing, builds the plugin into dist/ and shows
#             it answering for the sample list
# make test   installs what is missing, builds and runs every test (a normal
#             build and one under AddressSanitizer and UndefinedBehaviorSanitizer)
# make windows       the Windows DLL and lstq.exe, cross-built: dist/ (32-bit,
#                    the deliverable) and dist/x64/ (64-bit)
# make test-windows  checks both DLLs and runs the tests of the 64-bit build
#                    under wine64

JOBS ?= 2
BUILD ?= build
CMAKE_BUILD = cmake --build

.PHONY: all setup linux demo test test-linux test-sanitize clean windows test-windows

all: setup linux windows demo

setup:
	sh scripts/setup.sh core

linux:
	cmake -S . -B $(BUILD)/linux -DCMAKE_BUILD_TYPE=Release -DQTR_BUILD_TESTS=ON >/dev/null
	$(CMAKE_BUILD) $(BUILD)/linux -j $(JOBS)
	mkdir -p dist/linux
	cp $(BUILD)/linux/libquillmarsh_to_Rookfable.so $(BUILD)/linux/lstq dist/linux/

# The sample list, asked the way the host asks: once with no settings file,
# once with one that removes the version from the title. The answers are
# Shift_JIS; iconv shows them on a UTF-8 terminal.
demo:
	@rm -rf $(BUILD)/demo && mkdir -p $(BUILD)/demo
	@echo "== no settings file"
	cd $(BUILD)/demo && $(CURDIR)/dist/linux/lstq $(CURDIR)/examples/mame_jp.lst aerofox CLOUDKT drgnwakej mizuumi nosuch | iconv -f CP932 -t UTF-8 || true
	@echo "== settings: examples/settings/remove-last-note.cfg"
	cp examples/settings/remove-last-note.cfg $(BUILD)/demo/quillmarsh_to_Rookfable.cfg
	cd $(BUILD)/demo && $(CURDIR)/dist/linux/lstq $(CURDIR)/examples/mame_jp.lst aerofox drgnwakej mizuumi | iconv -f CP932 -t UTF-8
	@echo "== lstq --check: the settings file as the plugin reads it"
	cd $(BUILD)/demo && $(CURDIR)/dist/linux/lstq --check --utf8

test: setup test-linux test-sanitize test-windows

test-linux: linux
	cd $(BUILD)/linux && ctest --output-on-failure -j $(JOBS)

test-sanitize:
	cmake -S . -B $(BUILD)/sanitize -DCMAKE_BUILD_TYPE=Debug -DQTR_SANITIZE=ON >/dev/null
	$(CMAKE_BUILD) $(BUILD)/sanitize -j $(JOBS)
	cd $(BUILD)/sanitize && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
		UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS)

# The cross builds: i686 (PE32) is what hosts load; x86-64 (PE32+) is the
# same code, which wine64 can run for the tests.
# (The toolchain file counts at the first configure only: no warning after.)
WINDOWS_CMAKE = -DCMAKE_BUILD_TYPE=Release -DQTR_BUILD_TESTS=ON --no-warn-unused-cli
windows:
	sh scripts/setup.sh windows
	cmake -S . -B $(BUILD)/windows-i686 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake \
		-DQTR_DIST_DIR=$(CURDIR)/dist $(WINDOWS_CMAKE) >/dev/null
	$(CMAKE_BUILD) $(BUILD)/windows-i686 -j $(JOBS) --target quillmarsh_to_Rookfable lstq
	cmake -S . -B $(BUILD)/windows-x64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake \
		-DQTR_DIST_DIR=$(CURDIR)/dist/x64 $(WINDOWS_CMAKE) >/dev/null
	$(CMAKE_BUILD) $(BUILD)/windows-x64 -j $(JOBS) --target quillmarsh_to_Rookfable lstq
	@i686-w64-mingw32-objdump -f dist/quillmarsh_to_Rookfable.dll | grep format
	@x86_64-w64-mingw32-objdump -f dist/x64/quillmarsh_to_Rookfable.dll | grep format

test-windows: windows
	$(CMAKE_BUILD) $(BUILD)/windows-i686 -j $(JOBS)
	$(CMAKE_BUILD) $(BUILD)/windows-x64 -j $(JOBS)
	cd $(BUILD)/windows-i686 && ctest --output-on-failure -j $(JOBS)
	cd $(BUILD)/windows-x64 && ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD) dist
