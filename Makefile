# The two commands of a fresh checkout: `make demo` and `make test`.
BUILD          ?= build
SANITIZE_BUILD ?= build-sanitize
FUZZ_BUILD     ?= build-fuzz
JOBS           ?= $(shell nproc)
DEMO_EXAMPLE   ?= examples/four_look_obrien_fleming.toml
FUZZ_SECONDS   ?= 30

.PHONY: deps configure build demo test test-sanitize fuzz bench clean r-package r-test r-check

# Debian packages that a fresh machine lacks: option parsing, JSON, SIMD math, and XML
# for the tests of the plot; R with the packages the R package builds on, tests and
# checks with; a compiler cache for the R package's second compilation. Installs only
# what is missing.
PACKAGES := libcli11-dev nlohmann-json3-dev libhwy-dev libtinyxml2-dev libtomlplusplus-dev \
            pkg-config r-base-dev r-cran-cpp11 r-cran-testthat r-cran-ggplot2 r-cran-cli \
            r-cran-jsonlite ccache
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

test: build r-test
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# At -O1, as the sanitizers' own documentation advises: their instrumentation makes -O2
# compile about twice as long, which the tests' run time does not win back.
test-sanitize: deps
	cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g -DNDEBUG" -DSURVSEQ_SANITIZE=ON -DSURVSEQ_BENCHMARKS=OFF
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

# The R package compiles the engine's own sources: they, the generated ones and the
# examples are copied into it (r/survseq/src/engine and inst/examples, not in git), so
# that R CMD build and check, which copy the package folder, have all they need. Files
# are copied with their times, so that an installation rebuilds only what changed; R's
# build does not follow the headers, so when one has changed every object is rebuilt.
R_PACKAGE      := r/survseq
R_ENGINE       := $(R_PACKAGE)/src/engine
R_LIBRARY      := $(BUILD)/r-library
ENGINE_FLOORS  := report input sim law bounds plan search run
PROJECT_VERSION = $(shell sed -n 's/^project.survseq VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
r-package: deps
	@for floor in $(ENGINE_FLOORS); do \
	  mkdir -p $(R_ENGINE)/$$floor; \
	  for copy in $(R_ENGINE)/$$floor/*.cpp $(R_ENGINE)/$$floor/*.h; do \
	    [ -e "$$copy" ] && [ ! -e "src/$$floor/$${copy##*/}" ] && rm -f "$$copy" "$${copy%.cpp}.o"; \
	  done; \
	  cp -p src/$$floor/*.cpp src/$$floor/*.h $(R_ENGINE)/$$floor/; \
	done; true
	@mkdir -p $(BUILD); headers=$$(cat $(R_ENGINE)/*/*.h $(R_PACKAGE)/src/*.h | md5sum); \
	if [ "$$headers" != "$$(cat $(BUILD)/r-package-headers 2>/dev/null)" ]; then \
	  find $(R_PACKAGE)/src -name '*.o' -delete; echo "$$headers" > $(BUILD)/r-package-headers; \
	fi
	mkdir -p $(R_ENGINE)/generated $(R_PACKAGE)/inst/examples
	cmake -DSOURCE_DIR=$(CURDIR) -DOUTPUT=$(R_ENGINE)/generated/program_version.cpp \
	  -DVERSION=$(PROJECT_VERSION) -DGIT_EXECUTABLE=$$(command -v git) -P cmake/program_version.cmake
	for t in parameterTemplate:defaults.par keyedTemplate:defaults.toml; do \
	  out=$(R_ENGINE)/generated/$${t%%:*}.cpp; \
	  [ "$$out" -nt examples/$${t#*:} ] || cmake -DINPUT=$(CURDIR)/examples/$${t#*:} \
	    -DOUTPUT=$$out -DFUNCTION=$${t%%:*} -P cmake/embed_text.cmake; \
	done
	cp -p examples/*.toml examples/*.par $(R_PACKAGE)/inst/examples/

# R compiles the engine once for the installation below and again inside R CMD check;
# through ccache the second finds every object of the first (the objects do not depend on
# the folder they are compiled in, so the folder is kept out of the cache's key).
R_COMPILER_CACHE := $(BUILD)/r-makevars
export R_MAKEVARS_USER = $(CURDIR)/$(R_COMPILER_CACHE)
export CCACHE_NOHASHDIR = true
$(R_COMPILER_CACHE):
	mkdir -p $(BUILD)
	if command -v ccache >/dev/null; then echo "CXX20 = ccache g++" > $@; else : > $@; fi

# Installs the package into $(R_LIBRARY) and runs its tests there.
r-test: r-package $(R_COMPILER_CACHE)
	mkdir -p $(R_LIBRARY)
	MAKEFLAGS=-j$(JOBS) R CMD INSTALL --no-multiarch -l $(R_LIBRARY) $(R_PACKAGE)
	cd $(R_PACKAGE)/tests && NOT_CRAN=true R_LIBS=$(CURDIR)/$(R_LIBRARY) Rscript testthat.R

# R CMD build and R CMD check of the package, in $(BUILD)/r-check.
r-check: r-package $(R_COMPILER_CACHE)
	rm -rf $(BUILD)/r-check && mkdir -p $(BUILD)/r-check
	cd $(BUILD)/r-check && R CMD build $(CURDIR)/$(R_PACKAGE) && \
	  MAKEFLAGS=-j$(JOBS) _R_CHECK_FORCE_SUGGESTS_=false R CMD check --no-manual survseq_*.tar.gz
	@! grep -q "^Status:.*\(ERROR\|WARNING\)" $(BUILD)/r-check/survseq.Rcheck/00check.log

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(FUZZ_BUILD)
