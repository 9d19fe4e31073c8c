# Two entry points for a fresh Debian 12 machine:
#   make run   - build, then run the CLI over every document in samples/
#   make test  - build, run the unit tests and the Python tests (binding, batch,
#                Dask on a LocalCluster of 2), then the unit tests under ASan+UBSan
# Other targets: build, sanitize, fuzz, bench, clean.

BUILD      ?= build
SAN_BUILD  ?= build-san
FUZZ_BUILD ?= build-fuzz
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
DEB_PACKAGES = cmake g++ make libgtest-dev zlib1g-dev libssl-dev pkg-config locales \
               pybind11-dev python3-dev python3-pytest python3-distributed \
               poppler-data

.PHONY: run test build sanitize fuzz bench deps clean

deps:
	@missing=""; for p in $(DEB_PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" = 0 ]; then \
	    echo "Installing:$$missing"; \
	    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing; \
	  else \
	    echo "Missing packages. Run: sudo apt-get install -y$$missing"; exit 1; \
	  fi; \
	fi
	@# A test runs the PDF reader under a comma-decimal locale; without this
	@# one on the system it compiles its own (a few seconds per run).
	@if [ "$$(id -u)" = 0 ] && ! locale -a 2>/dev/null | grep -qix 'de_DE.utf-\?8'; then \
	  echo "Generating the de_DE.UTF-8 locale"; \
	  localedef -i de_DE -f UTF-8 de_DE.UTF-8 || true; \
	fi

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@status=0; for f in samples/*; do \
	  echo "===== $$f"; \
	  $(BUILD)/quillmark extract "$$f" || status=1; \
	done; exit $$status

sanitize: deps
	cmake -S . -B $(SAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DQUILLMARK_SANITIZE=ON >/dev/null
	cmake --build $(SAN_BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) -j $(JOBS) --output-on-failure
	$(MAKE) sanitize
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir $(SAN_BUILD) -j $(JOBS) --output-on-failure

fuzz:
	CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLMARK_FUZZ=ON >/dev/null
	cmake --build $(FUZZ_BUILD) -j $(JOBS)

bench: build
	bench/run.sh

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(FUZZ_BUILD)
