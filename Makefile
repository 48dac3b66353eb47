# Every target installs what it needs first, so a fresh Debian 12 machine needs
# nothing but this checkout.
BUILD ?= build
SANITIZE_BUILD ?= build-sanitize
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS = jpeg bmp definitions
JOBS ?= $(shell nproc)

.PHONY: all deps build run test test-sanitize fuzz bench clean

all: build

deps:
	./scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/scaliper

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The whole test suite under AddressSanitizer and UndefinedBehaviorSanitizer,
# leaks included; the first report of any kind fails the run.
SANITIZER_ENV = ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

test-sanitize: deps
	cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSCALIPER_SANITIZE=ON
	$(SANITIZER_ENV) cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && $(SANITIZER_ENV) QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# Each libFuzzer target for FUZZ_SECONDS, starting from the seeds the build
# writes, the inputs kept in fuzz/corpus and what earlier runs found. Any
# crash, leak, sanitizer report, input taking over 2 s or memory over 2 GB
# stops the run and fails; the input is left in $(FUZZ_BUILD)/artifacts.
fuzz: deps
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

bench: build
	QT_QPA_PLATFORM=offscreen ./$(BUILD)/bench/scaliper_bench

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(FUZZ_BUILD)
