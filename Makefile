# make run    build into a local virtual environment and print a short demo
# make test   build, then run every host test (pytest) and native test (ctest)
# make bench  native and host timings against their baselines, as one table
PYTHON ?= python3.11
VENV ?= .venv
BUILD ?= build
JOBS ?= 2
PY := $(VENV)/bin/python
NATIVE := $(BUILD)/native
STAMP := $(VENV)/.motiloom-installed
# Both builds (pip's and the native tree) share one cache of baked table families, and pip keeps
# its build tree, so an edit re-bakes and recompiles only what it touched. A user's own
# `pip install .` from a clean clone sets neither and stays a clean build.
TABLEGEN_CACHE := $(abspath $(BUILD))/tablegen-cache
WHEEL_BUILD := $(BUILD)/wheel
SOURCES := $(shell find src -name '*.py' -o -name '*.cpp' -o -name '*.hpp') CMakeLists.txt pyproject.toml

.PHONY: run test bench lint format clean install native native-deps

run: $(STAMP)
	$(PY) examples/quickstart.py

test: $(STAMP) native
	$(PY) -m pytest -q
	$(VENV)/bin/ctest --test-dir $(NATIVE) --output-on-failure -j$(JOBS)

bench: $(STAMP) native
	$(PY) benchmarks/run.py --native $(NATIVE) --python $(PY)

install: $(STAMP)

$(PY):
	$(PYTHON) -m venv $(VENV)
	$(PY) -m pip install --quiet --upgrade pip

# A real install, the way a user installs the package: pip builds the wheel with scikit-build-core.
$(STAMP): $(PY) $(SOURCES)
	$(PY) -m pip install --quiet ".[test,native]" -C build-dir=$(WHEEL_BUILD) \
	  -C cmake.define.MOTILOOM_TABLEGEN_CACHE=$(TABLEGEN_CACHE)
	touch $@

# GoogleTest comes from Debian; install it when it is missing.
native-deps:
	@dpkg -s libgtest-dev >/dev/null 2>&1 || { \
	  echo "Installing libgtest-dev"; \
	  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq libgtest-dev; }

# The same sources built outside pip for the native tests, the benchmark and the host baseline.
native: $(STAMP) native-deps
	$(VENV)/bin/cmake -S . -B $(NATIVE) -G Ninja -DCMAKE_MAKE_PROGRAM=$(abspath $(VENV)/bin/ninja) \
	  -DPython_EXECUTABLE=$(abspath $(PY)) -Dpybind11_DIR=$$($(PY) -m pybind11 --cmakedir) \
	  -DMOTILOOM_TABLEGEN_CACHE=$(TABLEGEN_CACHE) \
	  -DMOTILOOM_PYTHON=OFF -DMOTILOOM_NATIVE_TESTS=ON -DMOTILOOM_BENCHMARKS=ON -DMOTILOOM_EXAMPLES=ON >/dev/null
	$(VENV)/bin/cmake --build $(NATIVE) -j$(JOBS)

lint: $(STAMP)
	$(PY) -m pip install --quiet ".[dev]"
	$(VENV)/bin/ruff check src tests tools benchmarks examples
	$(VENV)/bin/ruff format --check src tests tools benchmarks examples
	$(VENV)/bin/clang-format --dry-run --Werror $$(find src tests benchmarks examples -name '*.cpp' -o -name '*.hpp')

format: $(STAMP)
	$(PY) -m pip install --quiet ".[dev]"
	$(VENV)/bin/ruff format src tests tools benchmarks examples
	$(VENV)/bin/clang-format -i $$(find src tests benchmarks examples -name '*.cpp' -o -name '*.hpp')

clean:
	rm -rf $(BUILD) $(VENV) _skbuild dist *.egg-info
