// plain helper script, only copied
function nothing() {}
