'use strict';
// Run from the repository's root with -c, so paths are the repository's.
const js = require('@eslint/js');
const globals = require('globals');

module.exports = [
  { ignores: ['**/node_modules/**', 'build/**'] },
  js.configs.recommended,
  {
    files: ['src/listing/explorer/**/*.js'],
    languageOptions: {
      sourceType: 'script',
      globals: { ...globals.browser, module: 'readonly' },
    },
    rules: { 'no-unused-vars': ['error', { vars: 'local' }] },
  },
  {
    files: ['src/listing/explorer/worker.js'],
    languageOptions: { globals: { ...globals.worker } },
  },
  {
    files: ['tests/explorer/**/*.js', 'bench/explorer/**/*.js'],
    // Functions handed to the page run there.
    languageOptions: { sourceType: 'commonjs', globals: { ...globals.node, ...globals.browser } },
  },
  {
    rules: {
      eqeqeq: 'error',
      'no-var': 'error',
      'prefer-const': 'error',
      curly: ['error', 'multi-line'],
    },
  },
];
