\TITLE Newsletter
\NOSIG Y
wenna.nakamura@mail.example.com
"Tobias Gallagher" <tobias.gallagher@example.com>
"Mirela Kowalczyk" <mirela.kowalczyk@example.com>
wenna.ferreira@example.org

"Hans Duarte" <hans.duarte@mail.example.com>
rene.lindqvist@post.example.org
"María Kowalczyk" <maria.kowalczyk@mail.example.com>
dmitri.quist@example.net (Dmitri Quist)
hans.sato@post.example.org (Hans Sato)
bram.smith@post.example.org
@LIST0002.PML
fred.zorba@mail.example.com
john.duarte@example.com
"Viggo Zorba" <viggo.zorba@example.net>
\C Kept by the secretary
"Yara Jonesby" <yara.jonesby@example.org>
ann.carrow@example.org
"Ulla Brennan" <ulla.brennan@mail.example.com>
@list0003.pml
rhoda.eastwood@mail.example.com
