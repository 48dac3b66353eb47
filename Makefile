# Every target installs what it needs first, so a fresh Debian 12 machine needs
# nothing but this checkout.
BUILD ?= build
SANITIZE_BUILD ?= build-sanitize
THREAD_BUILD ?= build-thread
FUZZ_BUILD ?= build-fuzz
PACKAGE_BUILD ?= build-package
FUZZ_SECONDS ?= 60
FUZZ_TARGETS = jpeg bmp formats definitions journal figures results
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local
CONFIGURE = cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps build run install test test-sanitize test-thread test-faults fuzz bench package screenshot icons clean

all: build

deps:
	./scripts/install-deps run

# Running needs neither GoogleTest nor the benchmarks: both are left out here
# and switched on by the targets that need them.
build: deps
	$(CONFIGURE) -DSCALIPER_TESTS=OFF -DSCALIPER_BENCH=OFF
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/scaliper

# The program, its desktop entry, icons, manual page and copyright file under
# PREFIX (DESTDIR is honoured).
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

test:
	./scripts/install-deps test
	$(CONFIGURE) -DSCALIPER_TESTS=ON -DSCALIPER_BENCH=ON
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --no-tests=error -j $(JOBS)

# The whole test suite under AddressSanitizer and UndefinedBehaviorSanitizer,
# leaks included; the first report of any kind fails the run.
SANITIZER_ENV = ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

test-sanitize:
	./scripts/install-deps test
	cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSCALIPER_SANITIZE=ON
	$(SANITIZER_ENV) cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && $(SANITIZER_ENV) QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The image tests, which run the picture read-ahead's worker thread, under
# ThreadSanitizer; the first report fails the run.
THREAD_ENV = TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"

test-thread:
	./scripts/install-deps test
	cmake -S . -B $(THREAD_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSCALIPER_TSAN=ON -DSCALIPER_BENCH=OFF
	cmake --build $(THREAD_BUILD) -j $(JOBS) --target test_images
	cd $(THREAD_BUILD) && $(THREAD_ENV) QT_QPA_PLATFORM=offscreen ./tests/test_images

# Every file operation of the program (save, Save as, the journal, Continue
# Results, the restore after a kill, Export Annotated Images, Save
# Definitions) run under strace with each of its system calls failed in turn
# (ENOSPC, then EIO) and with the program killed right after each of them,
# then started again; prints a table of the cases and fails on any file left
# mixed or partial, any value lost and any failure not reported.
test-faults:
	./scripts/install-deps test
	$(CONFIGURE) -DSCALIPER_TESTS=ON
	cmake --build $(BUILD) -j $(JOBS) --target scaliper_fault_driver
	./tests/faults/run-fault-test --jobs $(JOBS) $(BUILD)/tests/scaliper_fault_driver

# Each libFuzzer target for FUZZ_SECONDS, starting from the seeds the build
# writes, the inputs kept in fuzz/corpus and what earlier runs found. Any
# crash, leak, sanitizer report, input taking over 2 s or memory over 2 GB
# stops the run and fails; the input is left in $(FUZZ_BUILD)/artifacts.
fuzz:
	./scripts/install-deps fuzz
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSCALIPER_FUZZ=ON \
		-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@mkdir -p $(FUZZ_BUILD)/artifacts
	@for t in $(FUZZ_TARGETS); do \
		mkdir -p $(FUZZ_BUILD)/corpus/$$t fuzz/corpus/$$t; \
		echo "fuzz_$$t: $(FUZZ_SECONDS) s"; \
		$(FUZZ_BUILD)/fuzz/fuzz_$$t -max_total_time=$(FUZZ_SECONDS) -timeout=2 -rss_limit_mb=2048 \
			-print_final_stats=1 -artifact_prefix=$(FUZZ_BUILD)/artifacts/$$t- \
			$(FUZZ_BUILD)/corpus/$$t $(FUZZ_BUILD)/fuzz/seeds/$$t fuzz/corpus/$$t \
			> $(FUZZ_BUILD)/fuzz_$$t.log 2>&1; \
		rc=$$?; grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb)' $(FUZZ_BUILD)/fuzz_$$t.log; \
		if [ $$rc -ne 0 ]; then tail -n 60 $(FUZZ_BUILD)/fuzz_$$t.log; echo "fuzz_$$t failed"; exit 1; fi; \
	done

bench: deps
	$(CONFIGURE) -DSCALIPER_TESTS=OFF -DSCALIPER_BENCH=ON
	cmake --build $(BUILD) -j $(JOBS)
	QT_QPA_PLATFORM=offscreen ./$(BUILD)/bench/scaliper_bench

# A Debian package of the program, built on its own in Release mode, then
# checked: only the program, desktop entry, icons, manual page and copyright
# file, dependencies computed; then installed without its Recommends, started
# on a virtual X server until its window shows, and removed again.
package:
	./scripts/install-deps package
	cmake -S . -B $(PACKAGE_BUILD) -DCMAKE_BUILD_TYPE=Release -DSCALIPER_TESTS=OFF -DSCALIPER_BENCH=OFF
	cmake --build $(PACKAGE_BUILD) -j $(JOBS)
	rm -f $(PACKAGE_BUILD)/scaliper_*.deb
	cd $(PACKAGE_BUILD) && cpack -G DEB
	./scripts/check-install --deb $(PACKAGE_BUILD)/scaliper_*.deb
	./scripts/check-install --install $(PACKAGE_BUILD)/scaliper_*.deb
	@ls $(PACKAGE_BUILD)/scaliper_*.deb

# Remakes docs/screenshot.png, scale-step.png, drawing.png, annotated.png and objects.png by driving the real
# window offscreen through a measuring run.
screenshot: build
	cmake --build $(BUILD) -j $(JOBS) --target scaliper_screenshot
	QT_QPA_PLATFORM=offscreen ./$(BUILD)/docs/scaliper_screenshot docs

# Remakes the icon's PNG sizes from resources/scaliper.svg.
icons:
	./scripts/install-deps icons
	./scripts/render-icons

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(THREAD_BUILD) $(FUZZ_BUILD) $(PACKAGE_BUILD)
