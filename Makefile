# make        installs what is missing, builds the plugin into dist/ and shows
#             it answering for the sample list
# make test   installs what is missing, builds and runs every test (a normal
#             build and one under AddressSanitizer and UndefinedBehaviorSanitizer)
# make windows       the Windows DLL and lstq.exe, cross-built: dist/ (32-bit,
#                    the deliverable) and dist/x64/ (64-bit)
# make test-windows  checks both DLLs and runs the tests of both builds under
#                    Wine (the 32-bit ones skipped where the kernel refuses
#                    32-bit programs), comparing their answers with the
#                    Linux build's
# make bench  the per-call cost of the exports against one scan (not a test);
#             make bench-windows: both DLLs under Wine and the Linux build
#             against glibc's strstr, on one list
# make release       the Windows package: dist/quillmarsh_to_Rookfable-VERSION-win.zip
#                    (make test-release: built twice, byte-identical; unpacked and run)
# make ctype-table   the Japanese locale's classification of every byte,
#                    glibc's against msvcrt's under wine64 (docs/platforms.md)
# make fuzz   runs each fuzz target for FUZZ_TIME seconds (default 60); make test
#             runs a few seconds of each and the thread stress test under
#             ThreadSanitizer

JOBS ?= 2
BUILD ?= build
CMAKE_BUILD = cmake --build

.PHONY: all setup linux demo test test-linux test-sanitize clean windows test-windows bench bench-windows
.PHONY: fuzz fuzz-build test-fuzz-smoke test-tsan regex-stack release test-release ctype-table

all: setup linux windows release demo

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

test: setup test-linux test-sanitize test-fuzz-smoke test-tsan test-release test-windows

test-linux: linux
	cd $(BUILD)/linux && ctest --output-on-failure -j $(JOBS)

test-sanitize:
	cmake -S . -B $(BUILD)/sanitize -DCMAKE_BUILD_TYPE=Debug -DQTR_SANITIZE=ON >/dev/null
	$(CMAKE_BUILD) $(BUILD)/sanitize -j $(JOBS)
	cd $(BUILD)/sanitize && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
		UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS)

# The fuzz targets of fuzz/, built with clang, libFuzzer, ASan and UBSan.
FUZZ_TIME ?= 60
FUZZ_SMOKE_TIME ?= 3

fuzz-build:
	sh scripts/setup.sh fuzz
	CC=clang CXX=clang++ cmake -S . -B $(BUILD)/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DQTR_FUZZ=ON -DQTR_BUILD_TESTS=OFF >/dev/null
	$(CMAKE_BUILD) $(BUILD)/fuzz -j $(JOBS) --target fuzz_lookup fuzz_settings fuzz_version

fuzz: fuzz-build
	sh fuzz/run.sh $(BUILD) $(FUZZ_TIME)

# The seed corpus replayed and a few seconds of fuzzing each.
test-fuzz-smoke: fuzz-build
	sh fuzz/run.sh $(BUILD) $(FUZZ_SMOKE_TIME)

# The thread stress test (tests/test_threads.cpp) under ThreadSanitizer.
test-tsan:
	cmake -S . -B $(BUILD)/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQTR_TSAN=ON >/dev/null
	$(CMAKE_BUILD) $(BUILD)/tsan -j $(JOBS) --target test_threads
	cd $(BUILD)/tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(CURDIR)/tests/tsan.supp" \
		ctest --output-on-failure -R '^Threads\.' 

# How long a title the regex engine can take on a 1 MiB thread stack, for
# some realistic patterns: natively, and as 64-bit and 32-bit Windows
# programs under Wine when it is installed (docs/reliability.md). The 32-bit
# one needs a kernel that runs 32-bit programs; elsewhere one line says so.
regex-stack:
	mkdir -p $(BUILD)/regex-stack
	$(CXX) -O2 -std=c++17 tools/regex_stack.cpp -o $(BUILD)/regex-stack/regex_stack -pthread
	sh scripts/regex-stack.sh 1024 $(BUILD)/regex-stack/regex_stack
	if [ -x /usr/lib/wine/wine64 ] && command -v x86_64-w64-mingw32-g++ >/dev/null; then \
		x86_64-w64-mingw32-g++ -O2 -std=c++17 -static tools/regex_stack.cpp \
			-o $(BUILD)/regex-stack/regex_stack.exe && \
		sh scripts/regex-stack.sh 1024 sh $(CURDIR)/cmake/wine-run.sh $(CURDIR)/$(BUILD)/regex-stack/wine \
			$(BUILD)/regex-stack/regex_stack.exe; fi
	if command -v i686-w64-mingw32-g++ >/dev/null; then \
		. cmake/wine32-runs.sh; if [ "$$wine32_runs" = yes ]; then \
			i686-w64-mingw32-g++ -O2 -std=c++17 -static tools/regex_stack.cpp \
				-o $(BUILD)/regex-stack/regex_stack32.exe && \
			sh scripts/regex-stack.sh --in-process 1024 sh $(CURDIR)/cmake/wine-run.sh --32 \
				$(CURDIR)/$(BUILD)/regex-stack/wine32 $(BUILD)/regex-stack/regex_stack32.exe; \
		else echo "regex-stack: 32-bit engine not measured: $$wine32_refusal"; fi; fi

# The C library's classification of every byte under the Japanese locale:
# glibc's ja_JP.sjis against the C runtime's "japanese" of a 64-bit Windows
# program under wine64, and where they differ (docs/platforms.md).
ctype-table: setup
	sh scripts/setup.sh windows
	mkdir -p $(BUILD)/ctype-table
	$(CXX) -O2 -std=c++17 tools/ctype_table.cpp -o $(BUILD)/ctype-table/ctype_table
	x86_64-w64-mingw32-g++-posix -O2 -std=c++17 -static tools/ctype_table.cpp \
		-o $(BUILD)/ctype-table/ctype_table.exe
	$(BUILD)/ctype-table/ctype_table >$(BUILD)/ctype-table/linux.txt
	sh cmake/wine-run.sh $(CURDIR)/$(BUILD)/ctype-table/wine $(BUILD)/ctype-table/ctype_table.exe \
		| tr -d '\r' >$(BUILD)/ctype-table/windows.txt
	diff $(BUILD)/ctype-table/linux.txt $(BUILD)/ctype-table/windows.txt || true

# The cross builds: i686 (PE32) is what hosts load; x86-64 (PE32+) is the
# same code, which wine64 can run for the tests.
# (The toolchain file counts at the first configure only: no warning after.)
# The Windows tests compare the DLLs' answers with the Linux build's
# (tests/compare_answers.sh), so test-windows builds that first.
WINDOWS_CMAKE = -DCMAKE_BUILD_TYPE=Release -DQTR_BUILD_TESTS=ON --no-warn-unused-cli \
	-DQTR_LINUX_BUILD_DIR=$(CURDIR)/$(BUILD)/linux
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

test-windows: linux windows
	$(CMAKE_BUILD) $(BUILD)/windows-i686 -j $(JOBS)
	$(CMAKE_BUILD) $(BUILD)/windows-x64 -j $(JOBS)
	cd $(BUILD)/windows-i686 && sh $(CURDIR)/cmake/wine-session.sh --32 $(CURDIR)/$(BUILD)/windows-i686/wine \
		ctest --output-on-failure -j $(JOBS)
	cd $(BUILD)/windows-x64 && sh $(CURDIR)/cmake/wine-session.sh $(CURDIR)/$(BUILD)/windows-x64/wine \
		ctest --output-on-failure -j $(JOBS)

# The Windows package (scripts/release.sh): both DLLs, lstq.exe, the
# examples, the header, the Japanese readme, README.md, the license and the
# sums, in one zip named after the project version of CMakeLists.txt.
VERSION := $(shell awk '/^project/ && $$2 == "VERSION" {print $$3}' CMakeLists.txt)
RELEASE_ZIP = dist/quillmarsh_to_Rookfable-$(VERSION)-win.zip
release: windows
	sh scripts/release.sh dist dist

# Two clean builds of the deliverables at different paths give the same
# bytes (a few minutes); then the zip is unpacked and its DLLs driven by the
# host test program and lstq.exe --check run on every example: the x64 part
# under wine64, the 32-bit part under the 32-bit Wine (skipped, and said
# so, where the kernel refuses 32-bit programs: wine-run.sh exits 77).
test-release: release
	sh scripts/test-reproducible.sh $(BUILD)/reproducible $(RELEASE_ZIP)
	$(CMAKE_BUILD) $(BUILD)/windows-x64 -j $(JOBS) --target test_host lstq
	if [ -f $(BUILD)/windows-i686/run-program.sh ]; then \
		$(CMAKE_BUILD) $(BUILD)/windows-i686 -j $(JOBS) --target test_host; fi
	QTR_SKIP_RETURN_CODE=77 sh cmake/wine-session.sh $(CURDIR)/$(BUILD)/windows-x64/wine \
		sh scripts/test-unpack.sh $(RELEASE_ZIP) $(BUILD)/windows-x64 $(BUILD)/windows-i686

# Per-call cost of every list export against the floor of one strstr scan,
# on generated lists of 10,000, 40,000 and 160,000 entries (about a minute
# and a half). Not part of make test.
bench: setup
	cmake -S . -B $(BUILD)/bench -DCMAKE_BUILD_TYPE=Release -DQTR_BUILD_TESTS=OFF -DQTR_BUILD_BENCH=ON >/dev/null
	$(CMAKE_BUILD) $(BUILD)/bench -j $(JOBS)
	$(BUILD)/bench/bench/qtr_bench $(BENCH_ARGS)

# Both Windows DLLs (i686 under 32-bit Wine where this machine runs 32-bit
# programs, x64 under wine64) and the Linux build against glibc's strstr
# floor, timed natively, on the same list in one run (bench/windows.sh): per
# call of each export and the wait of a host that fills its whole list.
BENCH_WINDOWS_ROUNDS ?= 5
BENCH_WINDOWS_ENTRIES ?= 40000
bench-windows: setup
	sh scripts/setup.sh windows
	cmake -S . -B $(BUILD)/bench -DCMAKE_BUILD_TYPE=Release -DQTR_BUILD_TESTS=OFF -DQTR_BUILD_BENCH=ON >/dev/null
	$(CMAKE_BUILD) $(BUILD)/bench -j $(JOBS)
	cmake -S . -B $(BUILD)/bench-windows-x64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake \
		-DCMAKE_BUILD_TYPE=Release -DQTR_BUILD_TESTS=OFF -DQTR_BUILD_BENCH=ON >/dev/null
	$(CMAKE_BUILD) $(BUILD)/bench-windows-x64 -j $(JOBS) --target quillmarsh_to_Rookfable qtr_bench
	cmake -S . -B $(BUILD)/bench-windows-i686 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake \
		-DCMAKE_BUILD_TYPE=Release -DQTR_BUILD_TESTS=OFF -DQTR_BUILD_BENCH=ON >/dev/null
	$(CMAKE_BUILD) $(BUILD)/bench-windows-i686 -j $(JOBS) --target quillmarsh_to_Rookfable qtr_bench
	sh bench/windows.sh $(CURDIR)/$(BUILD) $(CURDIR) $(BENCH_WINDOWS_ROUNDS) $(BENCH_WINDOWS_ENTRIES)

clean:
	rm -rf $(BUILD) dist
