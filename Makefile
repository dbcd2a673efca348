# The two commands of a fresh checkout: `make demo` and `make test`.
BUILD          ?= build
SANITIZE_BUILD ?= build-sanitize
FUZZ_BUILD     ?= build-fuzz
JOBS           ?= $(shell nproc)
DEMO_EXAMPLE   ?= examples/four_look_obrien_fleming.toml
FUZZ_SECONDS   ?= 30

.PHONY: deps configure build demo test test-sanitize fuzz bench clean

# Debian packages that a fresh machine lacks: option parsing, JSON, SIMD math, and XML
# for the tests of the plot. Installs only what is missing.
PACKAGES := libcli11-dev nlohmann-json3-dev libhwy-dev libtinyxml2-dev libtomlplusplus-dev
deps:
	@missing=""; for p in $(PACKAGES); do dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	  echo "installing$$missing"; \
	  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing; \
	fi

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# Builds the program alone (no tests, no benchmarks) and runs it on a shipped example;
# the report, the JSON results and the plot are written in $(BUILD)/demo.
demo: configure
	cmake --build $(BUILD) -j $(JOBS) --target survseq
	mkdir -p $(BUILD)/demo
	cd $(BUILD)/demo && ../survseq --json demo.json --plot demo.svg $(CURDIR)/$(DEMO_EXAMPLE)
	@echo "Report, demo.json and demo.svg written to $(BUILD)/demo/ (report name from report_file in $(DEMO_EXAMPLE))"

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-sanitize: deps
	cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSURVSEQ_SANITIZE=ON -DSURVSEQ_BENCHMARKS=OFF
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	ctest --test-dir $(SANITIZE_BUILD) --output-on-failure -j $(JOBS)

# Feeds generated designs under libFuzzer for FUZZ_SECONDS in all, a third each to the
# positional reader, the keyed reader and whole short runs; an input that runs
# FUZZ_TIMEOUT seconds is reported as a hang.
FUZZ_TIMEOUT ?= 30
fuzz: deps
	CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DSURVSEQ_FUZZ=ON -DSURVSEQ_BENCHMARKS=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target reader_fuzzer keyed_reader_fuzzer run_fuzzer
	mkdir -p $(FUZZ_BUILD)/corpus $(FUZZ_BUILD)/keyed-corpus $(FUZZ_BUILD)/run-corpus
	$(FUZZ_BUILD)/fuzz/reader_fuzzer -max_total_time=$$(( $(FUZZ_SECONDS) / 3 )) \
	  -timeout=$(FUZZ_TIMEOUT) $(FUZZ_BUILD)/corpus $(CURDIR)/examples
	$(FUZZ_BUILD)/fuzz/keyed_reader_fuzzer -max_total_time=$$(( $(FUZZ_SECONDS) / 3 )) \
	  -timeout=$(FUZZ_TIMEOUT) $(FUZZ_BUILD)/keyed-corpus $(CURDIR)/examples
	$(FUZZ_BUILD)/fuzz/run_fuzzer -max_total_time=$$(( $(FUZZ_SECONDS) - 2 * ($(FUZZ_SECONDS) / 3) )) \
	  -timeout=$(FUZZ_TIMEOUT) $(FUZZ_BUILD)/run-corpus $(CURDIR)/examples

bench: build
	for b in $(BUILD)/bench/*_benchmark; do $$b; done

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(FUZZ_BUILD)
