# make        installs what is missing, builds the plugin into dist/ and shows
#             it answering for the sample list
# make test   installs what is missing, builds and runs every test (a normal
#             build and one under AddressSanitizer and UndefinedBehaviorSanitizer,
#             a few seconds of each fuzz target, and the thread stress test
#             under ThreadSanitizer)
# make fuzz   runs each fuzz target for FUZZ_TIME seconds (default 60)

JOBS ?= 2
BUILD ?= build
CMAKE_BUILD = cmake --build

.PHONY: all setup linux demo test test-linux test-sanitize clean
.PHONY: fuzz fuzz-build test-fuzz-smoke test-tsan regex-stack

all: setup linux demo

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

test: setup test-linux test-sanitize test-fuzz-smoke test-tsan

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
		tests/test_threads

# How long a title the regex engine can take on a 1 MiB thread stack, for
# some realistic patterns: natively, and as a 64-bit Windows program under
# wine when it is installed (docs/reliability.md).
regex-stack:
	mkdir -p $(BUILD)/regex-stack
	$(CXX) -O2 -std=c++17 tools/regex_stack.cpp -o $(BUILD)/regex-stack/regex_stack -pthread
	sh scripts/regex-stack.sh 1024 $(BUILD)/regex-stack/regex_stack
	if command -v wine >/dev/null && command -v x86_64-w64-mingw32-g++ >/dev/null; then \
		x86_64-w64-mingw32-g++ -O2 -std=c++17 -static tools/regex_stack.cpp \
			-o $(BUILD)/regex-stack/regex_stack.exe && \
		WINEDEBUG=-all sh scripts/regex-stack.sh 1024 wine $(BUILD)/regex-stack/regex_stack.exe; fi

clean:
	rm -rf $(BUILD) dist
