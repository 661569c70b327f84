# make run    installs what is missing, builds and starts tarvex
# make test   installs what is missing, builds everything and runs every test:
#             the normal build, then the hardening build (AddressSanitizer and
#             UndefinedBehaviorSanitizer, clang) with the same tests and a
#             short run of every fuzz target
# make fuzz   runs every fuzz target for FUZZ_SECONDS each (default 120)
# make bench  runs the benchmarks; fails when one misses its target by more
#             than a factor of two (not part of make test: timings are noisy)
# make format formats every source file with .clang-format (make test fails on
#             unformatted code)

BUILD    ?= build
ASAN     ?= build-asan
JOBS     ?= $(shell nproc 2>/dev/null || echo 2)
FUZZ_SECONDS       ?= 120
FUZZ_SMOKE_SECONDS ?= 5
PACKAGES := cmake g++ make pkg-config qt6-base-dev qt6-connectivity-dev libgl-dev \
            libgtest-dev libgmock-dev libbenchmark-dev fonts-dejavu-core fonts-liberation2 \
            socat clang libclang-rt-14-dev clang-format python3-dbusmock dbus-daemon

# A compiler cache is used when one is installed.
LAUNCHER := $(if $(shell command -v ccache 2>/dev/null),-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

TEST_ENV := QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 TZ=UTC
# Findings are fatal. The suppressions name leaks inside libraries that are
# not built with the sanitizers (see the file).
SANITIZER_ENV := ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1 \
                 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
                 LSAN_OPTIONS=suppressions=$(CURDIR)/fuzz/lsan.supp:print_suppressions=0

# make run and make test share one configuration of $(BUILD), so either one
# reuses what the other built.
CONFIGURE := cmake -S . -B $(BUILD) -DTARVEX_WERROR=ON $(LAUNCHER)
SOURCES    = $(shell git ls-files '*.cpp' '*.h' 2>/dev/null || find app bench form fuzz links platform series storage tests variants -name '*.cpp' -o -name '*.h')

.PHONY: run test deps build build-werror build-asan test-asan fuzz fuzz-smoke bench clean \
        format format-check

deps:
	@missing=""; \
	for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  if [ "$$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi; \
	  $$sudo apt-get update && \
	  DEBIAN_FRONTEND=noninteractive $$sudo apt-get install -y --no-install-recommends $$missing; \
	fi

build: deps
	$(CONFIGURE)
	cmake --build $(BUILD) --target tarvex tarvex-serial -j $(JOBS)

run: build
	./$(BUILD)/tarvex

build-werror: deps
	$(CONFIGURE)
	cmake --build $(BUILD) -j $(JOBS)

build-asan: deps
	cmake -S . -B $(ASAN) -DTARVEX_SANITIZE=ON -DCMAKE_CXX_COMPILER=clang++ $(LAUNCHER)
	cmake --build $(ASAN) -j $(JOBS)

test-asan: build-asan
	cd $(ASAN) && $(TEST_ENV) $(SANITIZER_ENV) ctest --output-on-failure -j $(JOBS) --timeout 900

fuzz-smoke: build-asan
	$(SANITIZER_ENV) fuzz/run.sh $(ASAN) $(FUZZ_SMOKE_SECONDS)

format: deps
	clang-format -i $(SOURCES)

format-check: deps
	clang-format --dry-run --Werror $(SOURCES)

test: format-check build-werror
	cd $(BUILD) && $(TEST_ENV) ctest --output-on-failure -j $(JOBS) --timeout 600
	$(MAKE) test-asan
	$(MAKE) fuzz-smoke

fuzz: build-asan
	$(SANITIZER_ENV) fuzz/run.sh $(ASAN) $(FUZZ_SECONDS)

bench: build-werror
	@status=0; \
	for b in $(BUILD)/bench/bench_*; do \
	  [ -f "$$b" ] && [ -x "$$b" ] || continue; \
	  echo "== $$(basename $$b)"; \
	  $(TEST_ENV) "$$b" || status=1; \
	done; \
	exit $$status

clean:
	rm -rf $(BUILD) $(ASAN)
