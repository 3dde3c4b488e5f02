Title: Parents
\S Monthly notice

jonas.marchetti@post.example.org
ulla.petrov@post.example.org
"Bram Eastwood" <bram.eastwood@post.example.org>
nuno.gallagher@example.com
fred.sato@example.com
rene.ivanova@post.example.org
mirela.whitlock@example.com
