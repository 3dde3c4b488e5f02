Title: Board
\C Kept by the secretary
ann.petrov@mail.example.com
"Jonas Delacroix" <jonas.delacroix@post.example.org>
"María Achterberg" <maria.achterberg@example.net>
jonas.ruiz@example.org
wenna.okafor@mail.example.com
viggo.quist@example.org
"Zeno Müller" <zeno.mueller@mail.example.com>
"Björn Gallagher" <bjoern.gallagher@post.example.org>
ann.gallagher@example.net (Ann Gallagher)

tobias.kowalczyk@post.example.org
wenna.schoen@example.org
rene.brennan@example.net (René Brennan)
"Fred Sato" <fred.sato@mail.example.com>
