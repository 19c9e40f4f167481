// Proves that scripts of the program's pages load and run.
window.pageSchemeScriptRan = true;
