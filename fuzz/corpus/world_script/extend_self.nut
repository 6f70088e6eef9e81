local a = [1, 2, 3, 4]
a.extend(a)
a.extend(a)
if (a.len() != 16) throw "extend"
