# make: build updater.exe and updcheck.exe, and the script checker updcheck for Linux (static).
# make demo: install what is missing, build, run the example update under Wine.
# make test: install what is missing, build, run every test (what CI runs).
# make check: the quick loop: the same builds, every test not labelled slow,
#   without the fuzzing and the static Linux checker's run over the corpus.
BUILD   := build
WIN     := $(BUILD)/win
WINTEST := $(BUILD)/wintest
NATIVE  := $(BUILD)/native
HOST    := $(BUILD)/host
TOOLCHAIN := $(CURDIR)/cmake/mingw-i686.cmake
CMAKE_Q := cmake -Wno-dev --log-level=WARNING

# The version is written once, in cmake/version.cmake.
VERSION := $(shell sed -n 's/^set(UPDATER_VERSION_\(MAJOR\|MINOR\|PATCH\) \([0-9]*\))/\2/p' cmake/version.cmake | paste -sd.)

.PHONY: all deps build checker wintest-configure test check checker-corpus demo dist clean fuzz fuzz-build fuzz-ci

all: build checker

deps:
	@sh tools/install-deps.sh

build: deps
	@$(CMAKE_Q) -S . -B $(WIN) -DCMAKE_TOOLCHAIN_FILE=$(TOOLCHAIN) -DMINGW_THREADS=win32
	@cmake --build $(WIN) -j2 -- --no-print-directory

# The script checker for Linux, linked statically: $(HOST)/updcheck.
checker: deps
	@$(CMAKE_Q) -S . -B $(HOST) -DCMAKE_BUILD_TYPE=Release
	@cmake --build $(HOST) -j2 --target updcheck -- --no-print-directory

wintest-configure: build
	@$(CMAKE_Q) -S . -B $(WINTEST) -DCMAKE_TOOLCHAIN_FILE=$(TOOLCHAIN) -DMINGW_THREADS=posix \
	    -DUPDATER_TESTS=ON -DUPDATER_EXE=$(CURDIR)/$(WIN)/updater.exe

# Labels: wine (a native program that runs Windows programs), slow (left out of check).
test: NATIVE_SKIP := wine
check: NATIVE_SKIP := wine|slow
check: WINE_SKIP := -LE slow

test check: wintest-configure
	@$(CMAKE_Q) -S . -B $(NATIVE) -DUPDATER_TESTS=ON -DCMAKE_BUILD_TYPE=Debug \
	    -DUPDCHECK_EXE=$(CURDIR)/$(WIN)/updcheck.exe \
	    -DUPDCHECK_FAULT_EXE=$(CURDIR)/$(WINTEST)/updcheck_fault.exe
	@cmake --build $(NATIVE) -j2 -- --no-print-directory
	@ctest --test-dir $(NATIVE) -LE '$(NATIVE_SKIP)' --output-on-failure
	@if [ $@ = test ]; then $(MAKE) --no-print-directory checker-corpus fuzz-ci; fi
	@cmake --build $(WINTEST) -j2 -- --no-print-directory
	@sh tests/wine-setup.sh
	@ctest --test-dir $(WINTEST) $(WINE_SKIP) --output-on-failure; rc=$$?; \
	    ctest --test-dir $(NATIVE) -L wine $(WINE_SKIP) --output-on-failure || rc=1; \
	    sh tests/wine-setup.sh stop; exit $$rc
	@sh tools/check-imports.sh $(WIN)/updater.exe
	@sh tools/check-imports.sh $(WIN)/updcheck.exe
	@sh tools/check-fast-path.sh $(WIN)/updater.exe

checker-corpus: checker
	@echo "the static Linux checker over the corpus, without the system's conversion modules:"
	@CHECKER="env GCONV_PATH=/nonexistent $(CURDIR)/$(HOST)/updcheck" \
	    $(NATIVE)/tests/native/checker_tests

demo: wintest-configure
	@cmake --build $(WINTEST) -j2 --target boxspy -- --no-print-directory
	@sh tests/wine-setup.sh
	@sh examples/demo/run-demo.sh $(WIN)/updater.exe $(WINTEST)/tests/win/boxspy.exe; \
	    rc=$$?; sh tests/wine-setup.sh stop; exit $$rc

# The zip is for publishers: their own README, no build files, every example
# ready to run (the full-update one with its two stand-in programs in place),
# text files with Windows line ends.
PACK := $(BUILD)/dist/updater-$(VERSION)
dist: wintest-configure checker
	@cmake --build $(WINTEST) -j2 --target sampleapp_v1 sampleapp_v2 -- --no-print-directory
	@rm -rf $(BUILD)/dist dist/updater-$(VERSION).zip
	@mkdir -p $(PACK) dist
	@cp $(WIN)/updater.exe $(WIN)/updcheck.exe $(HOST)/updcheck $(PACK)/
	@strip $(PACK)/updcheck
	@sed 's/@VERSION@/$(VERSION)/' packaging/README.txt > $(PACK)/README.txt
	@cp -r examples docs $(PACK)/
	@rm -f $(PACK)/examples/demo/run-demo.sh
	@cp $(WINTEST)/tests/win/sampleapp_v1.exe $(PACK)/examples/full-update/installed/SampleApp/sampleapp.exe
	@cp $(WINTEST)/tests/win/sampleapp_v2.exe $(PACK)/examples/full-update/new/sampleapp.exe
	@for f in $(PACK)/README.txt $(PACK)/examples/*/README.txt; do sed -i 's/$$/\r/' "$$f"; done
	@cd $(BUILD)/dist && zip -qr ../../dist/updater-$(VERSION).zip updater-$(VERSION)
	@rm -rf $(BUILD)/unpacked && mkdir -p $(BUILD)/unpacked && \
	    cd $(BUILD)/unpacked && unzip -q ../../dist/updater-$(VERSION).zip && \
	    cd updater-$(VERSION) && env -i ./updcheck examples/*/*.ini
	@echo "dist/updater-$(VERSION).zip"

# Fuzzing with libFuzzer (clang, AddressSanitizer, UndefinedBehaviorSanitizer):
# each tests/fuzz/NAME_fuzz.cpp is a target with its seeds in tests/fuzz/NAME.
# make fuzz runs each for FUZZ_SECONDS and keeps what it finds in
# $(FUZZ)/corpus; make test runs each for a fixed number of inputs.
FUZZ := $(BUILD)/fuzz
FUZZ_TARGETS := $(patsubst tests/fuzz/%_fuzz.cpp,%,$(wildcard tests/fuzz/*_fuzz.cpp))
FUZZ_FLAGS := -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all \
              -fno-omit-frame-pointer -gline-tables-only
FUZZ_SECONDS ?= 300
FUZZ_RUNS ?= 3000
# The checker's corpus and the examples are seeds too.
FUZZ_SEEDS_check := tests/check

fuzz-build: deps
	@$(CMAKE_Q) -S . -B $(FUZZ) -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	    -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS="$(FUZZ_FLAGS)" -DUPDATER_FUZZ=ON
	@cmake --build $(FUZZ) -j2 --target $(FUZZ_TARGETS:%=%_fuzz) -- --no-print-directory

fuzz: fuzz-build
	@$(foreach t,$(FUZZ_TARGETS),mkdir -p $(FUZZ)/corpus/$(t) && \
	    $(FUZZ)/tests/fuzz/$(t)_fuzz -max_total_time=$(FUZZ_SECONDS) -timeout=10 \
	        -artifact_prefix=$(FUZZ)/$(t)- $(FUZZ)/corpus/$(t) tests/fuzz/$(t) $(FUZZ_SEEDS_$(t)) &&) true

# Fixed inputs (a set seed), so that a run gives the same result each time.
# Inputs of at most 16 KiB: mutants of the corpus's largest scripts took most
# of the time and found nothing the corpus run itself does not exercise.
FUZZ_CI_MAX_LEN ?= 16384
fuzz-ci: fuzz-build
	@$(foreach t,$(FUZZ_TARGETS),rm -rf $(FUZZ)/ci/$(t) && mkdir -p $(FUZZ)/ci/$(t) && \
	    { $(FUZZ)/tests/fuzz/$(t)_fuzz -runs=$(FUZZ_RUNS) -seed=1 -timeout=60 \
	        -max_len=$(FUZZ_CI_MAX_LEN) \
	        -artifact_prefix=$(FUZZ)/$(t)- $(FUZZ)/ci/$(t) tests/fuzz/$(t) $(FUZZ_SEEDS_$(t)) \
	        2>$(FUZZ)/$(t)-ci.log || { tail -40 $(FUZZ)/$(t)-ci.log; false; }; } && \
	    echo "fuzz $(t): $(FUZZ_RUNS) inputs, no fault" &&) true

clean:
	rm -rf $(BUILD) dist
